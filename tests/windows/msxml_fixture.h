// A test that works with MSXML parser documents: a COM apartment for its
// lifetime and documents made the way the run makes them, loaded
// synchronously and validated.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/windows/com.h"
#include "xml/msxml/msxml_parser.h"

namespace tarnweld::xml {

class MsxmlDocuments : public testing::Test {
 protected:
  std::unique_ptr<XmlDocument> document() {
    auto doc = parser_->createDocument();
    if (doc) {
      EXPECT_TRUE(doc->setAsync(false));
      EXPECT_TRUE(doc->setValidateOnParse(true));
    }
    return doc;
  }

  win::ComApartment apartment_{COINIT_APARTMENTTHREADED};
  std::unique_ptr<XmlParser> parser_ = makeMsxmlParser();
};

}  // namespace tarnweld::xml
