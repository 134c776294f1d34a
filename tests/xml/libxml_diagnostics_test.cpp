// The rule that makes a failed transformation's reason, step by step, from
// what the libraries said and in which order: each row is a run's events as
// the collector receives them.
#include "xml/libxml/libxml_diagnostics.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxslt/xsltInternals.h>

#include <cstring>
#include <memory>

namespace tarnweld::xml {
namespace {

// A stylesheet whose instructions the events name as the one running.
constexpr char kStylesheet[] =
    "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'\n"  // 1
    " xmlns:libxslt='http://xmlsoft.org/XSLT/namespace' xmlns:f='urn:f'>\n"             // 2
    "<xsl:template match='/'><xsl:message>note</xsl:message>\n"                         // 3
    "<xsl:message terminate='yes'>stop</xsl:message>\n"                                 // 4
    "<libxslt:debug/>\n"                                                                // 5
    "<xsl:value-of select='$v'/>\n"                                                     // 6
    "<f:call/>\n"                                                                       // 7
    "<xsl:message terminate='no'>not a stop</xsl:message>\n"                            // 8
    "</xsl:template></xsl:stylesheet>\n";

enum class Running { kNone, kNote, kStop, kDebug, kValueOf, kExtension, kNotAStop };

struct Event {
  enum Kind { kSaid, kStructured, kRefused } kind;
  const char* text;
  Running running = Running::kNone;
  int domain = XML_FROM_XPATH;
  const char* file = nullptr;
  int line = 0;
  int column = 0;
};

struct Row {
  const char* what;
  std::vector<Event> events;
  const char* reason;  // nullptr: no reason at all
  const char* file;
  int line;
  int column = 0;
};

constexpr const char* kLocated = "runtime error: file main.xsl line 6 element value-of\n";

Event said(const char* text, Running running = Running::kNone) { return {Event::kSaid, text, running}; }
Event xpath(const char* text) { return {Event::kStructured, text}; }

class TransformationErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc_.reset(xmlReadMemory(kStylesheet, static_cast<int>(std::strlen(kStylesheet)), "main.xsl", nullptr, 0));
    ASSERT_NE(doc_, nullptr);
  }

  const xmlNode* instruction(Running running) const {
    if (running == Running::kNone) return nullptr;
    const int line = static_cast<int>(running) + 2;
    for (const xmlNode* node = xmlDocGetRootElement(doc_.get())->children; node; node = node->next) {
      for (const xmlNode* child = node->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && xmlGetLineNo(child) == line) return child;
      }
    }
    return nullptr;
  }

  std::optional<TransformationError> run(const Row& row) {
    ErrorCollector collector;
    xsltTransformContext transformation{};
    collector.watchTransformation(&transformation);
    for (const Event& event : row.events) {
      transformation.inst = const_cast<xmlNode*>(instruction(event.running));
      switch (event.kind) {
        case Event::kSaid:
          ErrorCollector::genericHandler(&collector, "%s", event.text);
          break;
        case Event::kStructured: {
          xmlError error{};
          error.domain = event.domain;
          error.level = XML_ERR_ERROR;
          error.message = const_cast<char*>(event.text);
          error.file = const_cast<char*>(event.file);
          error.line = event.line;
          error.int2 = event.column;
          ErrorCollector::structuredHandler(&collector, &error);
          break;
        }
        case Event::kRefused:
          collector.recordResourceFailure({event.text, "", 0, 0, XML_FROM_IO}, true);
          break;
      }
    }
    return transformationError(collector);
  }

  std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc_{nullptr, &xmlFreeDoc};
};

TEST_F(TransformationErrorTest, ReasonIsTheFirstMessageThatNamesWhatWentWrong) {
  const Row rows[] = {
      {"libxslt's message wins over the XPath error after it",
       {said(kLocated, Running::kValueOf), said("Variable 'v' has not been declared.\n", Running::kValueOf),
        xpath("Undefined variable\n")},
       "Variable 'v' has not been declared.",
       "main.xsl",
       6},
      {"a recursive global variable is named, not the XPath error after it",
       {said("runtime error: file main.xsl line 6 element variable\n"), said("Recursive definition of w\n"),
        xpath("Undefined variable\n")},
       "Recursive definition of w",
       "main.xsl",
       6},
      {"an XPath error wins over libxslt's generic message that follows it",
       {xpath("Invalid expression\n"), said(kLocated, Running::kValueOf),
        said("XPath evaluation returned no result.\n", Running::kValueOf)},
       "Invalid expression",
       "main.xsl",
       6},
      {"an XPath error between the location line and libxslt's message",
       {said("compilation error: file main.xsl line 6 element value-of\n"), xpath("Undefined namespace prefix\n"),
        said("xsl:value-of : could not compile select expression 'p:x'\n")},
       "Undefined namespace prefix",
       "main.xsl",
       6},
      {"an XPath error once libxslt went on to another place is not the cause",
       {said("compilation error: file main.xsl line 3 element template\n"), said("duplicate name 't'\n"),
        said("compilation error: file main.xsl line 6 element value-of\n"), xpath("Invalid expression\n")},
       "duplicate name 't'",
       "main.xsl",
       3},
      {"a refused resource before libxslt's message about it",
       {{Event::kRefused, "its name holds an escaped control character"},
        said("compilation error: file main.xsl line 2 element include\n"),
        said("xsl:include : unable to load inc.xsl%00\n")},
       "its name holds an escaped control character",
       "main.xsl",
       2},
      {"a broken included stylesheet gives the parser's reason where the error is",
       {{Event::kStructured, "Opening and ending tag mismatch: a line 3 and b\n", Running::kNone, XML_FROM_PARSER,
         "inc.xsl", 5, 12},
        said("compilation error: file main.xsl line 2 element import\n"),
        said("xsl:import : unable to load inc.xsl\n")},
       "Opening and ending tag mismatch: a line 3 and b",
       "inc.xsl",
       5,
       12},
      {"a parse error after libxslt's message about an import is not why the import failed",
       {said("compilation error: file main.xsl line 2 element import\n"),
        said("xsl:import : unable to load inc.xsl\n"),
        {Event::kStructured, "Start tag expected\n", Running::kNone, XML_FROM_PARSER, "data.xml", 1, 1}},
       "xsl:import : unable to load inc.xsl",
       "main.xsl",
       2},
      {"a document that did not parse is no cause of a later failure elsewhere",
       {{Event::kStructured, "Start tag expected\n", Running::kNone, XML_FROM_PARSER, "data.xml", 1, 1},
        said(kLocated, Running::kValueOf),
        said("Variable 'v' has not been declared.\n", Running::kValueOf)},
       "Variable 'v' has not been declared.",
       "main.xsl",
       6},
      {"an extension's error before the location line of the instruction that failed by it",
       {said("{urn:f}f: cannot write to result tree while executing a function\n", Running::kExtension),
        xpath("Stack usage error\n"), said("runtime error: file main.xsl line 6 element variable\n"),
        said("Failed to evaluate the expression of variable 'v'.\n")},
       "{urn:f}f: cannot write to result tree while executing a function",
       "main.xsl",
       7},
      {"a terminating message is the reason, with all its lines",
       {said("from main\n", Running::kNote), said("LINE-ONE\nLINE-TWO", Running::kStop), said("\n", Running::kStop)},
       "LINE-ONE\r\nLINE-TWO",
       "main.xsl",
       4},
      {"a terminating message's blank lines around it are not its text",
       {said("\n  \nLINE-ONE\n\nLINE-TWO\n\n", Running::kStop)},
       "LINE-ONE\r\n\r\nLINE-TWO",
       "main.xsl",
       4},
      {"a terminating message after one that does not terminate",
       {said("note\n", Running::kNotAStop), said("stop here\n", Running::kStop)},
       "stop here",
       "main.xsl",
       4},
      {"notes and a debug dump are not why a run stopped",
       {said("note\n", Running::kNote), said("Templates:\nVariables:\n", Running::kDebug),
        said("still a note\n", Running::kNotAStop)},
       nullptr,
       "",
       0},
      {"notes that came with an empty result",
       {said("From main\n", Running::kNote), said("From second import\n", Running::kNote)},
       nullptr,
       "",
       0},
      {"a debug dump alone",
       {said("Templates:\n", Running::kDebug), said("Variables:\n", Running::kDebug)},
       nullptr,
       "",
       0},
      {"an error libxslt raised without a location line",
       {said("note\n", Running::kNote), said("testns:format : no namespace bound to prefix testns\n")},
       "testns:format : no namespace bound to prefix testns",
       "",
       0},
      {"a resource refused after libxslt's own message is not its cause",
       {said(kLocated, Running::kValueOf),
        said("Variable 'v' has not been declared.\n", Running::kValueOf),
        {Event::kRefused, "its name holds an escaped control character"}},
       "Variable 'v' has not been declared.",
       "main.xsl",
       6},
      {"a located error after notes",
       {said("note\n", Running::kNote), said("compilation error: file main.xsl line 3 element decimal-format\n"),
        said("format already exists\n")},
       "format already exists",
       "main.xsl",
       3},
      {"an XPath error libxslt says nothing more about, at the instruction evaluating it",
       {{Event::kStructured, "Undefined namespace prefix\n", Running::kValueOf}},
       "Undefined namespace prefix",
       "main.xsl",
       6},
  };
  for (const Row& row : rows) {
    const std::optional<TransformationError> error = run(row);
    if (!row.reason) {
      EXPECT_EQ(error.has_value(), false) << row.what << ": " << (error ? error->diagnostic.message : "");
      continue;
    }
    ASSERT_TRUE(error.has_value()) << row.what;
    EXPECT_EQ(error->diagnostic.message, row.reason) << row.what;
    EXPECT_EQ(error->diagnostic.file, row.file) << row.what;
    EXPECT_EQ(error->diagnostic.line, row.line) << row.what;
    EXPECT_EQ(error->diagnostic.column, row.column) << row.what;
  }
}

}  // namespace
}  // namespace tarnweld::xml
