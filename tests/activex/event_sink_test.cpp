// The event sink: an object listening to a source's connection point receives events by DISPID
// through its table, with arguments converted as described, and nothing travels back.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "bstr.h"
#include "com_ptr.h"
#include "connection_point.h"
#include "event_sink.h"
#include "object.h"

namespace {

using activex::Bstr;
using activex::ComPtr;

// {5E0A37F4-2C1B-4D6A-9E58-7A1C3B2D4F60}: an event interface known only to this test.
const IID kEvents = {0x5E0A37F4, 0x2C1B, 0x4D6A, {0x9E, 0x58, 0x7A, 0x1C, 0x3B, 0x2D, 0x4F, 0x60}};

// The event source: a connection point for kEvents; the test fires through its connections.
class Source : public activex::ObjectRoot<Source>, public activex::ConnectionPointContainer {
 public:
  static const activex::InterfaceEntry* InterfaceMap() {
    static const activex::InterfaceEntry map[] = {
        activex::Entry<Source, IConnectionPointContainer>(), {}};
    return map;
  }

  // The sinks connected now, as the source would call them.
  std::vector<ComPtr<IDispatch>> Sinks() {
    std::vector<ComPtr<IDispatch>> sinks;
    ComPtr<IEnumConnections> e;
    if (FAILED(events_.EnumConnections(e.put()))) return sinks;
    CONNECTDATA data;
    while (e->Next(1, &data, nullptr) == S_OK) {
      auto unknown = ComPtr<IUnknown>::Adopt(data.pUnk);
      ComPtr<IDispatch> sink;
      if (SUCCEEDED(unknown.As(sink))) sinks.push_back(sink);
    }
    return sinks;
  }

 private:
  activex::ConnectionPoint events_{this, kEvents};
};

// The receiving object: what its handlers saw.
struct Listener {
  void __stdcall OnNamed(BSTR name) { named.push_back(name ? name : L"(null)"); }
  void OnImage(BSTR text, LONG dim1, LONG dim2, VARIANT* image, LONG extra) {
    imageText = text;
    this->dim1 = dim1;
    this->dim2 = dim2;
    this->image = image;
    imageType = image->vt;
    this->extra = extra;
    VariantClear(image);  // the caller's VARIANT itself
  }
  void OnThrow() { throw std::runtime_error("handler failure"); }

  static const activex::SinkEntry<Listener> kSinkMap[];

  std::vector<std::wstring> named;
  std::wstring imageText;
  LONG dim1 = 0, dim2 = 0, extra = 0;
  VARIANT* image = nullptr;
  VARTYPE imageType = VT_EMPTY;
  activex::EventSink<Listener> sink{this, kEvents, kSinkMap};
};

const activex::SinkEntry<Listener> Listener::kSinkMap[] = {
    activex::SinkHandler<&Listener::OnNamed, VT_BSTR>(1),
    activex::SinkHandler<&Listener::OnImage, VT_BSTR, VT_I4, VT_I4, VT_BYREF | VT_VARIANT, VT_I4>(5),
    activex::SinkHandler<&Listener::OnThrow>(9),
    {}};

constexpr DWORD kNotConnected = 0xFEFEFEFE;

class EventSinkTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_EQ(activex::CreateInstance<Source>(nullptr, IID_IUnknown, source.put_void()), S_OK);
  }
  void TearDown() override {
    source = nullptr;
    CoUninitialize();
  }

  std::vector<ComPtr<IDispatch>> Sinks() {
    ComPtr<IConnectionPointContainer> c;
    source.As(c);
    return static_cast<Source*>(static_cast<activex::ConnectionPointContainer*>(c.get()))->Sinks();
  }

  ComPtr<IUnknown> source;
};

HRESULT Fire(IDispatch* sink, DISPID id, std::vector<VARIANT> reversed, UINT* argError = nullptr) {
  DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  return sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                      nullptr, argError);
}

VARIANT Long(LONG n) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = n;
  return v;
}
VARIANT Text(const Bstr& s) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = s.get();
  return v;
}

TEST_F(EventSinkTest, AdvisesDispatchesByDispidAndUnadvises) {
  Listener listener;
  EXPECT_EQ(listener.sink.cookie(), kNotConnected);
  ASSERT_EQ(listener.sink.Advise(source.get()), S_OK);
  EXPECT_NE(listener.sink.cookie(), kNotConnected);
  EXPECT_EQ(listener.sink.Advise(source.get()), CONNECT_E_ADVISELIMIT);
  auto sinks = Sinks();
  ASSERT_EQ(sinks.size(), 1u);
  IDispatch* sink = sinks[0].get();

  // Event 5: (BSTR, long, long, VARIANT by reference, long), last argument first. dim2 comes
  // as text and is converted by the description, not by any type library.
  Bstr text(L"acquired"), twoHundred(L"200");
  VARIANT image;
  VariantInit(&image);
  image.vt = VT_ARRAY | VT_UI1;
  image.parray = SafeArrayCreateVector(VT_UI1, 0, 16);
  VARIANT byRef;
  VariantInit(&byRef);
  byRef.vt = VT_BYREF | VT_VARIANT;
  byRef.pvarVal = &image;
  EXPECT_EQ(Fire(sink, 5, {Long(7), byRef, Text(twoHundred), Long(100), Text(text)}), S_OK);
  EXPECT_EQ(listener.imageText, L"acquired");
  EXPECT_EQ(listener.dim1, 100);
  EXPECT_EQ(listener.dim2, 200);
  EXPECT_EQ(listener.extra, 7);
  EXPECT_EQ(listener.image, &image) << "the handler gets the caller's VARIANT";
  EXPECT_EQ(listener.imageType, VT_ARRAY | VT_UI1);
  EXPECT_EQ(image.vt, VT_EMPTY) << "and what it does to it reaches the caller";

  // Event 1 with its one text argument; unknown DISPIDs are answered and go nowhere.
  Bstr device(L"device-1");
  EXPECT_EQ(Fire(sink, 1, {Text(device)}), S_OK);
  EXPECT_EQ(Fire(sink, 77, {Long(1), Long(2)}), S_OK);
  EXPECT_EQ(Fire(sink, 3, {}), S_OK);
  ASSERT_EQ(listener.named.size(), 1u);
  EXPECT_EQ(listener.named[0], L"device-1");

  sinks.clear();
  EXPECT_EQ(listener.sink.Unadvise(source.get()), S_OK);
  EXPECT_EQ(listener.sink.cookie(), kNotConnected);
  EXPECT_TRUE(Sinks().empty());
  EXPECT_EQ(listener.sink.Unadvise(source.get()), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(listener.sink.cookie(), kNotConnected);
}

TEST_F(EventSinkTest, CallsThatBreakTheDescriptionReachNoHandler) {
  Listener listener;
  ASSERT_EQ(listener.sink.Advise(source.get()), S_OK);
  IDispatch* sink = &listener.sink;

  EXPECT_EQ(Fire(sink, 1, {}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Fire(sink, 1, {Long(1), Long(2)}), DISP_E_BADPARAMCOUNT);
  Bstr notNumber(L"many"), text(L"t");
  VARIANT image;
  VariantInit(&image);
  UINT argError = 99;
  EXPECT_EQ(Fire(sink, 5, {Long(7), image, Long(1), Text(notNumber), Text(text)}, &argError),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argError, 3u) << "the position in DISPPARAMS";
  EXPECT_TRUE(listener.named.empty());
  EXPECT_EQ(listener.image, nullptr);

  // A VARIANT passed by value reaches a VARIANT* parameter as the argument itself.
  EXPECT_EQ(Fire(sink, 5, {Long(7), image, Long(2), Long(1), Text(text)}), S_OK);
  EXPECT_NE(listener.image, nullptr);
  EXPECT_EQ(listener.dim2, 2);

  // Nothing a handler does travels back into the source's call.
  EXPECT_EQ(Fire(sink, 9, {}), S_OK);
  EXPECT_EQ(listener.sink.Unadvise(source.get()), S_OK);
}

TEST_F(EventSinkTest, SinkReferencesDoNotCountOnItsOwnerAndFailedAdviseKeepsTheCookie) {
  // A receiving COM object: the source's references to the sink must not keep it alive.
  struct Receiver : activex::ObjectRoot<Receiver>, IUnknown {
    static const activex::InterfaceEntry* InterfaceMap() {
      static const activex::InterfaceEntry map[] = {activex::Entry<Receiver, IUnknown>(), {}};
      return map;
    }
    Listener listener;
  };
  activex::ComObject<Receiver>* receiver = nullptr;
  ASSERT_EQ(activex::CreateObject(&receiver), S_OK);
  ASSERT_EQ(receiver->listener.sink.Advise(source.get()), S_OK);
  EXPECT_EQ(receiver->AddRef(), 2u) << "advising added no reference to the receiver";
  receiver->Release();
  EXPECT_EQ(receiver->listener.sink.Unadvise(source.get()), S_OK);
  receiver->Release();

  Listener listener;
  ComPtr<IUnknown> noContainer;
  ASSERT_EQ(activex::CreateInstance<Receiver>(nullptr, IID_IUnknown, noContainer.put_void()), S_OK);
  EXPECT_EQ(listener.sink.Advise(noContainer.get()), E_NOINTERFACE);
  EXPECT_EQ(listener.sink.cookie(), kNotConnected);
  EXPECT_EQ(listener.sink.Advise(nullptr), E_POINTER);
  EXPECT_EQ(listener.sink.cookie(), kNotConnected);
}

}  // namespace
