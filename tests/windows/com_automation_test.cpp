// The COM backend of the host automation object against a recording host
// object offered under the host's ProgID in this test process, and the
// plug-in itself when no host is on offer.
#include "host/com/com_automation.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "core/names.h"
#include "platform/windows/com_server.h"
#include "text/utf.h"
#include "win_test_support.h"

namespace tarnweld {
namespace {

using win::Bstr;

struct ReceivedArg {
  VARTYPE type;
  std::u16string text;
  bool operator==(const ReceivedArg&) const = default;
};

struct ReceivedCall {
  std::u16string name;
  std::vector<ReceivedArg> args;  // in argument order
};

// What the recording host writes into a by-reference argument.
enum class Reply { Leave, Write, WriteNull };

// A host object that keeps each name lookup and each call with its argument
// types, refuses the operations named in `rejected`, and answers by-reference
// arguments as `reply` says.
class RecordingHost final : public host::ComObject<IDispatch> {
 public:
  std::vector<std::u16string> lookups;
  std::vector<ReceivedCall> calls;
  std::set<std::u16string> rejected;
  Reply reply = Reply::Leave;
  std::u16string replyText;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
    lookups.emplace_back(win::u16(names[0]));
    ids[0] = static_cast<DISPID>(lookups.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (flags != DISPATCH_METHOD) return DISP_E_MEMBERNOTFOUND;
    ReceivedCall call{lookups.at(static_cast<std::size_t>(id - 1)), {}};
    for (UINT i = params->cArgs; i-- > 0;) {
      VARIANT& arg = params->rgvarg[i];
      std::u16string text;
      if (arg.vt == VT_BSTR) text = win::bstrText(arg.bstrVal);
      if (arg.vt == (VT_BSTR | VT_BYREF)) text = win::bstrText(*arg.pbstrVal);
      if (arg.vt == VT_I2) text = fromAscii(std::to_string(arg.iVal));
      call.args.push_back({arg.vt, text});
    }
    calls.push_back(call);
    if (rejected.contains(call.name)) return DISP_E_EXCEPTION;
    VARIANT& last = params->rgvarg[0];
    if (last.vt == (VT_BSTR | VT_BYREF) && reply != Reply::Leave) {
      Bstr value = reply == Reply::Write ? Bstr(replyText) : Bstr();
      SysFreeString(*last.pbstrVal);
      *last.pbstrVal = value.release();
    }
    return S_OK;
  }
};

class ComAutomation : public testing::Test {
 protected:
  win::ComApartment apartment_{COINIT_APARTMENTTHREADED};
  win::ComPtr<RecordingHost> host_ = win::ComPtr<RecordingHost>::adopt(new RecordingHost);
  std::unique_ptr<AutomationBackend> backend_ = makeComAutomationBackend();
};

TEST_F(ComAutomation, PassesEachArgumentKindInOrderAndLooksTheNameUpPerCall) {
  std::u16string byRef = u"before";
  {
    const host::ClassOffer offer(kPluginsCoreProgId.text(), host::kStandInClsid, host_.get());
    ASSERT_EQ(offer.status(), S_OK);
    const auto object = backend_->create(kPluginsCoreProgId.text());
    ASSERT_NE(object, nullptr);
    const AutomationArg suffix[] = {std::u16string_view(u"_1")};
    const AutomationArg integer[] = {std::u16string_view(u"MODE_OUTPUT"), std::int16_t{-7}};
    const AutomationArg reference[] = {std::u16string_view(u"OUTPUT"), StringRef{&byRef}};
    EXPECT_TRUE(object->invoke(u"hkp_DataSetGlobalSuffix", suffix));
    EXPECT_TRUE(object->invoke(u"hkp_DataAddInt", integer));
    EXPECT_TRUE(object->invoke(u"hkp_DataAdd", reference));
    EXPECT_TRUE(object->invoke(u"hkp_DataAdd", reference));
  }
  EXPECT_EQ(host_->lookups, (std::vector<std::u16string>{u"hkp_DataSetGlobalSuffix", u"hkp_DataAddInt", u"hkp_DataAdd",
                                                         u"hkp_DataAdd"}));
  ASSERT_EQ(host_->calls.size(), 4u);
  EXPECT_EQ(host_->calls[0].args, (std::vector<ReceivedArg>{{VT_BSTR, u"_1"}}));
  EXPECT_EQ(host_->calls[1].args, (std::vector<ReceivedArg>{{VT_BSTR, u"MODE_OUTPUT"}, {VT_I2, u"-7"}}));
  EXPECT_EQ(host_->calls[2].args, (std::vector<ReceivedArg>{{VT_BSTR, u"OUTPUT"}, {VT_BSTR | VT_BYREF, u"before"}}));
  // The object, its class object and the offer have let go of the host object.
  host_->AddRef();
  EXPECT_EQ(host_->Release(), 1u);
}

TEST_F(ComAutomation, ReadsBackWhatTheHostLeftInAByReferenceString) {
  struct Case {
    const char* name;
    Reply reply;
    bool rejected;
    bool accepted;
    std::u16string_view after;
  };
  const Case cases[] = {
      {"written", Reply::Write, false, true, u"é € 中 𝄞 <x/>"},
      {"left alone", Reply::Leave, false, true, u"before"},
      {"null", Reply::WriteNull, false, true, u""},
      {"rejected", Reply::Write, true, false, u"before"},
  };
  const host::ClassOffer offer(kPluginsCoreProgId.text(), host::kStandInClsid, host_.get());
  ASSERT_EQ(offer.status(), S_OK);
  const auto object = backend_->create(kPluginsCoreProgId.text());
  ASSERT_NE(object, nullptr);
  for (const Case& c : cases) {
    host_->reply = c.reply;
    host_->replyText = u"é € 中 𝄞 <x/>";
    host_->rejected = c.rejected ? std::set<std::u16string>{u"hkp_DataGet"} : std::set<std::u16string>{};
    std::u16string value = u"before";
    const AutomationArg args[] = {std::u16string_view(u"INPUT"), StringRef{&value}};
    EXPECT_EQ(object->invoke(u"hkp_DataGet", args), c.accepted) << c.name;
    EXPECT_EQ(value, c.after) << c.name;
  }
}

TEST_F(ComAutomation, FindsNoObjectWhenNothingIsOnOffer) {
  EXPECT_EQ(backend_->create(kPluginsCoreProgId.text()), nullptr);
  // The plug-in then skips every host call and ends at once, normally.
  for (const auto& mode : {kRunSwitch.text(), kRegisterSwitch.text()}) {
    const test::ProcessEnd end =
        test::runProcess(u"\"" + test::programPath(u"tarnweld.exe") + u"\" " + std::u16string(mode));
    EXPECT_EQ(end.exitCode, 0u);
    EXPECT_EQ(end.output, "");
    EXPECT_LT(end.seconds, 5);
  }
}

}  // namespace
}  // namespace tarnweld
