// The control object from a C++ client: its properties, the interfaces it answers, object
// safety, drawing without a picture, persistence of LibraryInstance, the module's unload probe,
// and the property page the server registers.
#include <windows.h>
#include <ole2.h>
#include <objsafe.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "control_client.h"
#include "gdi.h"
#include "object_safety.h"
#include "stand_in_sdk.h"
#include "canvas.h"

namespace fingerprint_test {
namespace {

class ControlObject : public testing::Test {
 protected:
  void SetUp() override {
    stand_in_sdk::Revoke();
    Scanner::Simulated().Reset();
    ASSERT_EQ(CreateControl(control), S_OK);
  }
  void TearDown() override {
    if (control) {
      EXPECT_EQ(control->Destroy(), S_OK);
    }
  }
  template <class I>
  ComPtr<I> As() {
    ComPtr<I> out;
    EXPECT_EQ(control.As(out), S_OK);
    return out;
  }

  ComPtr<IMyControl> control;
};

TEST_F(ControlObject, TextPropertiesKeepTheirOwnCopies) {
  struct Property {
    const char* name;
    HRESULT (STDMETHODCALLTYPE IMyControl::*get)(BSTR*);
    HRESULT (STDMETHODCALLTYPE IMyControl::*put)(BSTR);
  } properties[] = {{"ImageCode", &IMyControl::get_ImageCode, &IMyControl::put_ImageCode},
                    {"ExtractCode", &IMyControl::get_ExtractCode, &IMyControl::put_ExtractCode}};
  IMyControl* c = control.get();
  for (const Property& p : properties) {
    SCOPED_TRACE(p.name);
    BSTR read = reinterpret_cast<BSTR>(1);
    EXPECT_EQ((c->*p.get)(&read), S_OK);
    EXPECT_EQ(read, nullptr) << "a new control has no text";
    EXPECT_EQ((c->*p.get)(nullptr), E_POINTER);

    // Embedded NULs and all: the text comes back equal, and every read is a copy of its own.
    Bstr put = Bstr::Adopt(SysAllocStringLen(L"AB\0CD", 5));
    ASSERT_EQ((c->*p.put)(put.get()), S_OK);
    put.Reset();
    Bstr first, second;
    ASSERT_EQ((c->*p.get)(first.put()), S_OK);
    EXPECT_EQ(first.str(), std::wstring(L"AB\0CD", 5));
    first.Reset();
    ASSERT_EQ((c->*p.get)(second.put()), S_OK);
    EXPECT_EQ(second.str(), std::wstring(L"AB\0CD", 5));

    ASSERT_EQ((c->*p.put)(nullptr), S_OK);
    EXPECT_EQ((c->*p.get)(second.put()), S_OK);
    EXPECT_FALSE(second) << "null puts null back";
  }
}

TEST_F(ControlObject, NumbersAndKillLibrary) {
  LONG value = -1;
  EXPECT_EQ(control->get_IsEnroll(&value), S_OK);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(control->get_IsEnroll(nullptr), E_POINTER);
  for (LONG v : {7L, -2L, 1L}) {
    EXPECT_EQ(control->put_IsEnroll(v), S_OK);
    EXPECT_EQ(control->get_IsEnroll(&value), S_OK);
    EXPECT_EQ(value, v);
  }

  EXPECT_EQ(control->KillLibrary(), S_OK);
  EXPECT_EQ(control->get_IsEnroll(&value), S_OK);
  EXPECT_EQ(value, 1) << "KillLibrary changes nothing";

  // The server module's own instance handle, the same on every read.
  const LONG module =
      static_cast<LONG>(reinterpret_cast<std::intptr_t>(Server::Get().module()));
  ASSERT_NE(module, 0);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(control->get_LibraryInstance(&value), S_OK);
    EXPECT_EQ(value, module);
  }
  EXPECT_EQ(control->get_LibraryInstance(nullptr), E_POINTER);
}

TEST_F(ControlObject, AnswersItsInterfaces) {
  const IID answered[] = {IID_IMyControl,
                          IID_IDispatch,
                          IID_IViewObjectEx,
                          IID_IViewObject2,
                          IID_IViewObject,
                          IID_IOleInPlaceObjectWindowless,
                          IID_IOleInPlaceObject,
                          IID_IOleWindow,
                          IID_IOleInPlaceActiveObject,
                          IID_IOleControl,
                          IID_IOleObject,
                          IID_IPersistStreamInit,
                          IID_IPersist,
                          IID_ISupportErrorInfo,
                          IID_IConnectionPointContainer,
                          IID_ISpecifyPropertyPages,
                          IID_IQuickActivate,
                          IID_IPersistStorage,
                          IID_IObjectSafety,
                          IID_IDataObject,
                          IID_IProvideClassInfo,
                          IID_IProvideClassInfo2};
  ComPtr<IUnknown> identity;
  ASSERT_EQ(control->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
  EXPECT_EQ(identity.get(), static_cast<IUnknown*>(control.get())) << "IMyControl comes first";
  for (const IID& iid : answered) {
    wchar_t name[40];
    StringFromGUID2(iid, name, 40);
    SCOPED_TRACE(std::string(name, name + 38));
    ComPtr<IUnknown> itf;
    EXPECT_EQ(control->QueryInterface(iid, itf.put_void()), S_OK);
    ComPtr<IUnknown> back;
    ASSERT_EQ(itf->QueryInterface(IID_IUnknown, back.put_void()), S_OK);
    EXPECT_EQ(back.get(), identity.get());
  }
  for (const IID& iid : {IID_IPersistPropertyBag, IID_IRunnableObject, IID_IPropertyPage,
                         IID_IOleCache, IID_IPerPropertyBrowsing}) {
    ComPtr<IUnknown> itf;
    EXPECT_EQ(control->QueryInterface(iid, itf.put_void()), E_NOINTERFACE);
    EXPECT_FALSE(itf);
  }

  auto errors = As<ISupportErrorInfo>();
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IMyControl), S_OK);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

  GUID source{};
  EXPECT_EQ(As<IProvideClassInfo2>()->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
  EXPECT_EQ(source, DIID__IMyControlEvents);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(As<IProvideClassInfo>()->GetClassInfo(info.put()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->guid, CLSID_MyControl);
  EXPECT_EQ(attr->typekind, TKIND_COCLASS);
  info->ReleaseTypeAttr(attr);

  // One connection point, for the control's events; no property pages; the misc-status bits.
  auto points = As<IConnectionPointContainer>();
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(points->FindConnectionPoint(DIID__IMyControlEvents, point.put()), S_OK);
  EXPECT_EQ(points->FindConnectionPoint(IID_IPropertyNotifySink, point.put()),
            CONNECT_E_NOCONNECTION);
  CAUUID pages{};
  EXPECT_EQ(As<ISpecifyPropertyPages>()->GetPages(&pages), S_OK);
  EXPECT_EQ(pages.cElems, 0u);
  CoTaskMemFree(pages.pElems);
  DWORD misc = 0;
  EXPECT_EQ(As<IOleObject>()->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
  EXPECT_EQ(misc, 131473u);
}

TEST_F(ControlObject, ObjectSafetyOnlyForScripting) {
  auto safety = As<IObjectSafety>();
  const DWORD kScripting = INTERFACESAFE_FOR_UNTRUSTED_CALLER;
  const DWORD kBoth = kScripting | INTERFACESAFE_FOR_UNTRUSTED_DATA;
  DWORD supported = 9, enabled = 9;
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, kScripting);
  EXPECT_EQ(enabled, 0u);

  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, kBoth, kBoth), E_FAIL);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IPersistPropertyBag, kScripting, kScripting),
            E_NOINTERFACE);
  EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, kScripting, kScripting), S_OK);
  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
  EXPECT_EQ(supported, kScripting);
  EXPECT_EQ(enabled, kScripting);

  EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IPersistPropertyBag, &supported, &enabled),
            E_NOINTERFACE);
  EXPECT_EQ(supported, 0u);
  EXPECT_EQ(enabled, 0u);
}

using test_support::Canvas;

TEST_F(ControlObject, WithoutAPictureDrawsTheOutlinedRectangle) {
  Canvas canvas(40, 30);
  activex::GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, RGB(255, 0, 0)));
  activex::GdiObject<HBRUSH> brush(CreateSolidBrush(RGB(0, 0, 255)));
  activex::SelectedObject usePen(canvas.dc(), pen.get());
  activex::SelectedObject useBrush(canvas.dc(), brush.get());
  const RECTL bounds{4, 4, 36, 26};
  ASSERT_EQ(As<IViewObject>()->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.dc(),
                                    &bounds, nullptr, nullptr, 0),
            S_OK);
  const uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kWhite = 0xFFFFFF;
  EXPECT_EQ(canvas.Pixel(4, 4), kRed);
  EXPECT_EQ(canvas.Pixel(35, 25), kRed);
  EXPECT_EQ(canvas.Pixel(20, 4), kRed);
  EXPECT_EQ(canvas.Pixel(20, 15), kBlue);
  EXPECT_EQ(canvas.Pixel(3, 15), kWhite);
  EXPECT_EQ(canvas.Pixel(36, 15), kWhite);
}

ComPtr<IStream> Saved(IPersistStreamInit* persist) {
  ComPtr<IStream> stream;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  EXPECT_EQ(persist->Save(stream.get(), TRUE), S_OK);
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  return stream;
}

std::string Bytes(IStream* stream) {
  STATSTG stat{};
  EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  std::string bytes(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  ULONG read = 0;
  stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  return bytes;
}

// The last property saved: LibraryInstance as a tagged 32-bit number.
LONG SavedLibraryInstance(const std::string& bytes) {
  EXPECT_GE(bytes.size(), 6u);
  VARTYPE tag = 0;
  LONG value = 0;
  memcpy(&tag, bytes.data() + bytes.size() - 6, 2);
  memcpy(&value, bytes.data() + bytes.size() - 4, 4);
  EXPECT_EQ(tag, VT_I4);
  return value;
}

TEST_F(ControlObject, PersistsLibraryInstanceOnceRead) {
  auto persist = As<IPersistStreamInit>();
  EXPECT_EQ(SavedLibraryInstance(Bytes(Saved(persist.get()).get())), 0) << "not read yet";

  Bstr image(L"image"), code(L"code");
  ASSERT_EQ(control->put_ImageCode(image.get()), S_OK);
  ASSERT_EQ(control->put_ExtractCode(code.get()), S_OK);
  LONG instance = 0;
  ASSERT_EQ(control->get_LibraryInstance(&instance), S_OK);
  ComPtr<IStream> saved = Saved(persist.get());
  const std::string bytes = Bytes(saved.get());
  EXPECT_EQ(SavedLibraryInstance(bytes), instance);

  // A second control loads all of it and saves the same bytes.
  ComPtr<IMyControl> other;
  ASSERT_EQ(CreateControl(other), S_OK);
  ComPtr<IPersistStreamInit> otherPersist;
  ASSERT_EQ(other.As(otherPersist), S_OK);
  ASSERT_EQ(otherPersist->Load(saved.get()), S_OK);
  Bstr read;
  EXPECT_EQ(other->get_ImageCode(read.put()), S_OK);
  EXPECT_EQ(read.str(), L"image");
  EXPECT_EQ(other->get_ExtractCode(read.put()), S_OK);
  EXPECT_EQ(read.str(), L"code");
  EXPECT_EQ(Bytes(Saved(otherPersist.get()).get()), bytes);
  EXPECT_EQ(other->Destroy(), S_OK);
}

TEST_F(ControlObject, ServerStaysLoadedWhileAControlLives) {
  EXPECT_EQ(Server::Get().CanUnloadNow(), S_FALSE);
  EXPECT_EQ(control->Destroy(), S_OK);
  control = nullptr;
  EXPECT_EQ(Server::Get().CanUnloadNow(), S_OK);
}

TEST(PropertyPage, ItsDialogStringsAndApply) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(Server::Get().ClassObject(CLSID_MyPropertyPage, factory.put()), S_OK);
  ComPtr<IPropertyPage> page;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage, page.put_void()), S_OK);

  PROPPAGEINFO info{};
  ASSERT_EQ(page->GetPageInfo(&info), S_OK);
  EXPECT_EQ(std::wstring(info.pszTitle), L"Title");
  EXPECT_EQ(std::wstring(info.pszHelpFile), L"Help File Name");
  EXPECT_EQ(std::wstring(info.pszDocString), L"Your Help String");
  EXPECT_EQ(info.dwHelpContext, 0u);
  CoTaskMemFree(info.pszTitle);
  CoTaskMemFree(info.pszHelpFile);
  CoTaskMemFree(info.pszDocString);
  // 271 x 105 dialog units: wider than high by the same measure as the template.
  ASSERT_GT(info.size.cy, 0);
  EXPECT_GT(info.size.cx * 105, info.size.cy * 200);

  HWND parent = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400,
                                nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  const RECT where{0, 0, info.size.cx, info.size.cy};
  ASSERT_EQ(page->Activate(parent, &where, TRUE), S_OK);
  HWND dialog = GetWindow(parent, GW_CHILD);
  ASSERT_NE(dialog, nullptr);
  wchar_t text[64] = {};
  GetWindowTextW(GetWindow(dialog, GW_CHILD), text, 64);
  EXPECT_EQ(std::wstring(text), L"Insert your controls here.");
  EXPECT_EQ(page->Show(SW_SHOW), S_OK);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  EXPECT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  EXPECT_EQ(page->Deactivate(), S_OK);
  EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr) << "the dialog goes with Deactivate";
  DestroyWindow(parent);
}

}  // namespace
}  // namespace fingerprint_test
