// The control's status values, quick activation, property pages, property-change notices, and
// the answers to everything a control does not do.
#include "control_fixture.h"

#include <functional>

namespace control_test {
namespace {

TEST(ControlInterfaces, StatusValuesAndPagesAreTheControls) {
  ControlHandle control;
  DWORD misc = 0;
  ASSERT_EQ(control.As<IOleObject>()->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
  EXPECT_EQ(misc, 0x20591u);
  DWORD view = 0;
  ASSERT_EQ(control.As<IViewObjectEx>()->GetViewStatus(&view), S_OK);
  EXPECT_EQ(view, static_cast<DWORD>(VIEWSTATUS_OPAQUE));

  CAUUID pages{7, reinterpret_cast<GUID*>(&pages)};
  ASSERT_EQ(control.As<ISpecifyPropertyPages>()->GetPages(&pages), S_OK);
  EXPECT_EQ(pages.cElems, 0u);
  EXPECT_EQ(pages.pElems, nullptr);

  CLSID id{};
  ASSERT_EQ(control.As<IOleObject>()->GetUserClassID(&id), S_OK);
  EXPECT_EQ(id, kTestControlClass);
}

TEST(ControlInterfaces, QuickActivateTakesTheContainersSinksAtOnce) {
  TestContainer container;
  ControlHandle control;
  QACONTAINER qa{};
  qa.cbSize = sizeof qa;
  qa.pClientSite = container.site();
  qa.pAdviseSink = &container;
  qa.pPropertyNotifySink = &container;
  qa.pUnkEventSink = container.site();
  QACONTROL answer{};
  answer.cbSize = sizeof answer;
  answer.dwEventCookie = 99;
  auto quick = control.As<IQuickActivate>();
  ASSERT_EQ(quick->QuickActivate(&qa, &answer), S_OK);
  EXPECT_EQ(answer.dwMiscStatus, 0x20591u);
  EXPECT_EQ(answer.dwViewStatus, static_cast<DWORD>(VIEWSTATUS_OPAQUE));
  EXPECT_EQ(answer.dwEventCookie, 0u) << "the control names no event interface";
  EXPECT_NE(answer.dwPropNotifyCookie, 0u);
  EXPECT_EQ(answer.dwPointerActivationPolicy, 0u);

  ComPtr<IOleClientSite> site;
  ASSERT_EQ(control.As<IOleObject>()->GetClientSite(site.put()), S_OK);
  EXPECT_EQ(site.get(), container.site());
  ComPtr<IAdviseSink> sink;
  ASSERT_EQ(control.As<IViewObject>()->GetAdvise(nullptr, nullptr, sink.put()), S_OK);
  EXPECT_EQ(sink.get(), container.sink());

  // Connected through quick activation: a property change reaches the notify sink, a
  // view change the advise sink.
  ASSERT_EQ(control.As<ITestControl>()->put_Text(activex::Bstr(L"x").get()), S_OK);
  EXPECT_EQ(container.changed, std::vector<DISPID>{kTextDispid});
  EXPECT_EQ(container.viewChanges, std::vector<DWORD>{DVASPECT_CONTENT});

  SIZEL size{300, 400};
  ASSERT_EQ(quick->SetContentExtent(&size), S_OK);
  SIZEL read{};
  ASSERT_EQ(quick->GetContentExtent(&read), S_OK);
  EXPECT_EQ(read.cx, 300);
  EXPECT_EQ(read.cy, 400);

  QACONTROL small{};
  small.cbSize = sizeof small - 1;
  EXPECT_EQ(quick->QuickActivate(&qa, &small), E_INVALIDARG);
}

TEST(ControlInterfaces, VerbsBehaveAsTheirContractSays) {
  TestContainer container;
  ControlHandle control;
  auto ole = control.As<IOleObject>();
  // Nothing to activate in yet.
  EXPECT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, nullptr, nullptr),
            E_UNEXPECTED);
  ole->SetClientSite(container.site());
  struct Case {
    LONG verb;
    HRESULT expected;
  } cases[] = {
      {OLEIVERB_OPEN, E_NOTIMPL},            // no editing in a window of its own
      {OLEIVERB_PROPERTIES, E_NOTIMPL},      // container frame refused, no pages to show
      {OLEIVERB_DISCARDUNDOSTATE, S_OK},     // no undo state kept
      {-99, E_NOTIMPL},                      // unknown negative verb
      {5, OLEOBJ_S_INVALIDVERB},             // unknown positive verb: done as the primary one
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.verb);
    EXPECT_EQ(ole->DoVerb(c.verb, nullptr, container.site(), 0, nullptr, nullptr), c.expected);
  }
  EXPECT_TRUE(control->IsUIActive()) << "the positive verb activated like the primary one";
}

TEST(ControlInterfaces, UnsupportedAndInvalidCallsAnswerWithCodes) {
  ControlHandle control;
  auto ole = control.As<IOleObject>();
  auto view = control.As<IViewObjectEx>();
  auto inPlace = control.As<IOleInPlaceObjectWindowless>();
  auto active = control.As<IOleInPlaceActiveObject>();
  auto oleControl = control.As<IOleControl>();
  auto data = control.As<IDataObject>();
  auto stream = control.As<IPersistStreamInit>();
  auto storage = control.As<IPersistStorage>();
  auto quick = control.As<IQuickActivate>();
  auto pages = control.As<ISpecifyPropertyPages>();
  SIZEL size{};
  DWORD value = 0;
  HWND window = nullptr;
  IUnknown* out = nullptr;
  FORMATETC format{CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT};
  STGMEDIUM medium{};
  RECT rect{0, 0, 10, 10};
  MSG message{};

  struct Case {
    const char* call;
    std::function<HRESULT()> run;
    HRESULT expected;
  } cases[] = {
      {"SetMoniker", [&] { return ole->SetMoniker(OLEWHICHMK_OBJFULL, nullptr); }, E_NOTIMPL},
      {"GetMoniker", [&] { return ole->GetMoniker(0, 0, reinterpret_cast<IMoniker**>(&out)); },
       E_NOTIMPL},
      {"InitFromData", [&] { return ole->InitFromData(nullptr, TRUE, 0); }, E_NOTIMPL},
      {"GetClipboardData",
       [&] { return ole->GetClipboardData(0, reinterpret_cast<IDataObject**>(&out)); },
       E_NOTIMPL},
      {"SetColorScheme", [&] { return ole->SetColorScheme(nullptr); }, E_NOTIMPL},
      {"GetClientSite(null)", [&] { return ole->GetClientSite(nullptr); }, E_POINTER},
      {"GetExtent(null)", [&] { return ole->GetExtent(DVASPECT_CONTENT, nullptr); }, E_POINTER},
      {"GetExtent(icon)", [&] { return ole->GetExtent(DVASPECT_ICON, &size); }, DV_E_DVASPECT},
      {"SetExtent(null)", [&] { return ole->SetExtent(DVASPECT_CONTENT, nullptr); }, E_POINTER},
      {"GetMiscStatus(null)", [&] { return ole->GetMiscStatus(DVASPECT_CONTENT, nullptr); },
       E_POINTER},
      {"GetUserClassID(null)", [&] { return ole->GetUserClassID(nullptr); }, E_POINTER},
      {"Unadvise(never advised)", [&] { return ole->Unadvise(1); }, OLE_E_NOCONNECTION},
      {"Advise(null sink)", [&] { return ole->Advise(nullptr, &value); }, E_INVALIDARG},
      {"GetColorSet",
       [&] {
         return view->GetColorSet(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr,
                                  reinterpret_cast<LOGPALETTE**>(&out));
       },
       E_NOTIMPL},
      {"Freeze", [&] { return view->Freeze(DVASPECT_CONTENT, -1, nullptr, &value); }, E_NOTIMPL},
      {"Unfreeze", [&] { return view->Unfreeze(1); }, E_NOTIMPL},
      {"GetRect", [&] { return view->GetRect(DVASPECT_CONTENT, nullptr); }, E_POINTER},
      {"GetViewStatus(null)", [&] { return view->GetViewStatus(nullptr); }, E_POINTER},
      {"GetExtent(view, null)",
       [&] { return view->GetExtent(DVASPECT_CONTENT, -1, nullptr, nullptr); }, E_POINTER},
      {"GetWindow(inactive)", [&] { return inPlace->GetWindow(&window); }, E_FAIL},
      {"GetWindow(null)", [&] { return inPlace->GetWindow(nullptr); }, E_POINTER},
      {"ContextSensitiveHelp", [&] { return inPlace->ContextSensitiveHelp(TRUE); }, E_NOTIMPL},
      {"ReactivateAndUndo", [&] { return inPlace->ReactivateAndUndo(); }, E_NOTIMPL},
      {"GetDropTarget",
       [&] { return inPlace->GetDropTarget(reinterpret_cast<IDropTarget**>(&out)); }, E_NOTIMPL},
      {"OnWindowMessage(null)", [&] { return inPlace->OnWindowMessage(WM_NULL, 0, 0, nullptr); },
       E_POINTER},
      {"SetObjectRects(null)", [&] { return inPlace->SetObjectRects(&rect, nullptr); },
       E_POINTER},
      {"InPlaceDeactivate(inactive)", [&] { return inPlace->InPlaceDeactivate(); }, S_OK},
      {"UIDeactivate(inactive)", [&] { return inPlace->UIDeactivate(); }, S_OK},
      {"TranslateAccelerator", [&] { return active->TranslateAccelerator(&message); }, S_FALSE},
      {"GetWindow(active object)", [&] { return active->GetWindow(&window); }, E_FAIL},
      {"GetControlInfo", [&] { return oleControl->GetControlInfo(nullptr); }, E_POINTER},
      {"OnMnemonic", [&] { return oleControl->OnMnemonic(&message); }, E_NOTIMPL},
      {"GetDataHere", [&] { return data->GetDataHere(&format, &medium); }, E_NOTIMPL},
      {"SetData", [&] { return data->SetData(&format, &medium, FALSE); }, E_NOTIMPL},
      {"EnumFormatEtc",
       [&] {
         return data->EnumFormatEtc(DATADIR_GET, reinterpret_cast<IEnumFORMATETC**>(&out));
       },
       E_NOTIMPL},
      {"GetData(null)", [&] { return data->GetData(&format, nullptr); }, E_POINTER},
      {"DUnadvise(never advised)", [&] { return data->DUnadvise(1); }, OLE_E_NOCONNECTION},
      {"Load(null stream)", [&] { return stream->Load(nullptr); }, E_POINTER},
      {"Save(null stream)", [&] { return stream->Save(nullptr, TRUE); }, E_POINTER},
      {"GetSizeMax(null)", [&] { return stream->GetSizeMax(nullptr); }, E_POINTER},
      {"Load(null storage)", [&] { return storage->Load(nullptr); }, E_POINTER},
      {"QuickActivate(null)", [&] { return quick->QuickActivate(nullptr, nullptr); }, E_POINTER},
      {"GetContentExtent(null)", [&] { return quick->GetContentExtent(nullptr); }, E_POINTER},
      {"GetPages(null)", [&] { return pages->GetPages(nullptr); }, E_POINTER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    out = nullptr;
    EXPECT_EQ(c.run(), c.expected);
    EXPECT_EQ(out, nullptr) << "no object handed out";
  }

  // Looked up in the registry, where this class is not: a failure, not a crash.
  ComPtr<IEnumOLEVERB> verbs;
  EXPECT_TRUE(FAILED(ole->EnumVerbs(verbs.put())));
  LPOLESTR name = nullptr;
  EXPECT_TRUE(FAILED(ole->GetUserType(USERCLASSTYPE_FULL, &name)));
  EXPECT_EQ(name, nullptr);
}

TEST(ControlInterfaces, FreezeEventsNests) {
  ControlHandle control;
  auto oleControl = control.As<IOleControl>();
  EXPECT_FALSE(control->EventsFrozen());
  ASSERT_EQ(oleControl->FreezeEvents(TRUE), S_OK);
  ASSERT_EQ(oleControl->FreezeEvents(TRUE), S_OK);
  ASSERT_EQ(oleControl->FreezeEvents(FALSE), S_OK);
  EXPECT_TRUE(control->EventsFrozen());
  ASSERT_EQ(oleControl->FreezeEvents(FALSE), S_OK);
  EXPECT_FALSE(control->EventsFrozen());
  ASSERT_EQ(oleControl->FreezeEvents(FALSE), S_OK);
  ASSERT_EQ(oleControl->FreezeEvents(TRUE), S_OK);
  EXPECT_TRUE(control->EventsFrozen()) << "an unmatched thaw does not count ahead";
}

}  // namespace
}  // namespace control_test
