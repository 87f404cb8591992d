// In-place activation in a real container window: the child window and its styles, windowless
// activation, the repaint request in every state, the control's window messages, and closing.
#include "control_fixture.h"

namespace control_test {
namespace {

HWND ControlWindowOf(const ControlHandle& control) {
  HWND window = nullptr;
  control.As<IOleInPlaceObject>()->GetWindow(&window);
  return window;
}

TEST(ControlActivation, EachKindOfSiteGetsTheMatchingActivation) {
  struct Case {
    SiteKind kind;
    bool windowless;
    bool extended;      // told through OnInPlaceActivateEx
    DWORD flags;        // its flags
  } cases[] = {
      {SiteKind::kPlain, false, false, 0xFFFFFFFF},
      {SiteKind::kWindowlessRefused, false, true, 0},
      {SiteKind::kWindowless, true, true, ACTIVATE_WINDOWLESS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    TestContainer container(c.kind);
    ControlHandle control;
    auto ole = control.As<IOleObject>();
    ASSERT_EQ(ole->SetClientSite(container.site()), S_OK);
    const int children = ChildCount(container.window);
    ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, container.site(), 0,
                          container.window, &container.position),
              S_OK);
    EXPECT_EQ(container.inPlaceActivations, 1);
    EXPECT_EQ(container.usedExtendedSite, c.extended);
    EXPECT_EQ(container.activateFlags, c.flags);
    EXPECT_EQ(container.uiActivations, 0) << "in-place activation alone is not UI activation";
    EXPECT_EQ(control->IsWindowless(), c.windowless);

    HWND window = nullptr;
    const HRESULT got = control.As<IOleInPlaceObject>()->GetWindow(&window);
    if (c.windowless) {
      EXPECT_EQ(got, E_FAIL);
      EXPECT_EQ(window, nullptr);
      EXPECT_EQ(ChildCount(container.window), children) << "no window was made";
    } else {
      ASSERT_EQ(got, S_OK);
      EXPECT_EQ(GetParent(window), container.window);
      EXPECT_EQ(ChildCount(container.window), children + 1);
      EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
                static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS));
      EXPECT_EQ(GetWindowLongW(window, GWL_EXSTYLE), 0);
      RECT placed{};
      GetWindowRect(window, &placed);
      MapWindowPoints(nullptr, container.window, reinterpret_cast<POINT*>(&placed), 2);
      EXPECT_TRUE(SameRect(placed, container.position));
    }

    EXPECT_EQ(control.As<IOleInPlaceObject>()->InPlaceDeactivate(), S_OK);
    EXPECT_EQ(container.inPlaceDeactivations, 1);
    if (!c.windowless) {
      EXPECT_FALSE(IsWindow(window)) << "the window goes with deactivation";
    }
    EXPECT_EQ(ControlWindowOf(control), nullptr);
  }
}

TEST(ControlActivation, ViewChangeReachesWhatTheStateCallsFor) {
  // Windowed: the whole window is invalidated and its background erased.
  {
    TestContainer container(SiteKind::kWindowlessRefused);
    ControlHandle control;
    auto ole = control.As<IOleObject>();
    ole->SetClientSite(container.site());
    ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, container.site(), 0, nullptr,
                          nullptr),
              S_OK);
    HWND window = ControlWindowOf(control);
    UpdateWindow(window);
    ASSERT_FALSE(GetUpdateRect(window, nullptr, FALSE));
    const int erases = control->erases;

    ASSERT_EQ(control.As<ITestControl>()->put_Text(activex::Bstr(L"a").get()), S_OK);
    RECT dirty{};
    ASSERT_TRUE(GetUpdateRect(window, &dirty, FALSE));
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_TRUE(SameRect(dirty, client));
    UpdateWindow(window);
    EXPECT_EQ(control->erases, erases + 1);
    EXPECT_TRUE(container.viewChanges.empty());
  }
  // Windowless: the site invalidates the whole control, erasing.
  {
    TestContainer container(SiteKind::kWindowless);
    ControlHandle control;
    auto ole = control.As<IOleObject>();
    ole->SetClientSite(container.site());
    ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, container.site(), 0, nullptr,
                          nullptr),
              S_OK);
    ASSERT_EQ(control.As<ITestControl>()->put_Text(activex::Bstr(L"a").get()), S_OK);
    EXPECT_EQ(container.invalidations, 1);
    EXPECT_TRUE(container.lastInvalidateWhole);
    EXPECT_TRUE(container.lastInvalidateErase);
  }
  // Inactive: the view advise sink hears of the content.
  {
    TestContainer container;
    ControlHandle control;
    auto view = control.As<IViewObject>();
    ASSERT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, container.sink()), S_OK);
    ASSERT_EQ(control.As<ITestControl>()->put_Text(activex::Bstr(L"a").get()), S_OK);
    EXPECT_EQ(container.viewChanges, std::vector<DWORD>{DVASPECT_CONTENT});
    EXPECT_EQ(container.invalidations, 0);

    DWORD aspects = 0, advf = 1;
    ComPtr<IAdviseSink> sink;
    ASSERT_EQ(view->GetAdvise(&aspects, &advf, sink.put()), S_OK);
    EXPECT_EQ(aspects, static_cast<DWORD>(DVASPECT_CONTENT));
    EXPECT_EQ(advf, 0u);
    EXPECT_EQ(sink.get(), container.sink());

    ASSERT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, nullptr), S_OK);
    ASSERT_EQ(control.As<ITestControl>()->put_Text(activex::Bstr(L"b").get()), S_OK);
    EXPECT_EQ(container.viewChanges.size(), 1u) << "a removed sink hears nothing more";
  }
}

TEST(ControlActivation, WindowPaintsThroughOnDrawAndRoutesItsMessages) {
  TestContainer container;
  ControlHandle control;
  auto ole = control.As<IOleObject>();
  ole->SetClientSite(container.site());
  ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, container.site(), 0, nullptr, nullptr),
            S_OK);
  HWND window = ControlWindowOf(control);
  ASSERT_NE(window, nullptr);

  InvalidateRect(window, nullptr, TRUE);
  const int draws = control->draws;
  UpdateWindow(window);
  EXPECT_EQ(control->draws, draws + 1);
  EXPECT_TRUE(SameRect(control->lastBounds, RECT{0, 0, 100, 50}));

  // The control's own map comes first, then the defaults it chains to.
  EXPECT_EQ(SendMessageW(window, kPingMessage, 0, 0), 42);

  // Reflected notifications reach the default window procedure as the original message: the
  // colour messages give the system's brush there (left reflected, they would give 0).
  activex::WindowDC dc(window);
  for (UINT reflected : {OCM_CTLCOLORBTN, OCM_CTLCOLORDLG, OCM_CTLCOLOREDIT, OCM_CTLCOLORLISTBOX,
                         OCM_CTLCOLORMSGBOX, OCM_CTLCOLORSCROLLBAR, OCM_CTLCOLORSTATIC}) {
    SCOPED_TRACE(reflected);
    const WPARAM w = reinterpret_cast<WPARAM>(dc.get());
    const LPARAM l = reinterpret_cast<LPARAM>(window);
    const LRESULT expected = DefWindowProcW(window, reflected - OCM__BASE, w, l);
    EXPECT_NE(expected, 0);
    EXPECT_EQ(SendMessageW(window, reflected, w, l), expected);
  }
}

TEST(ControlActivation, FocusAndMouseActivationReachTheContainer) {
  TestContainer container;
  ControlHandle control;
  auto ole = control.As<IOleObject>();
  ole->SetClientSite(container.site());
  ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, container.site(), 0, nullptr, nullptr),
            S_OK);
  HWND window = ControlWindowOf(control);

  // A click on the inactive control UI-activates it (the container says nothing of design
  // mode, so it runs), which gives it the focus.
  SendMessageW(window, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(container.window),
               MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
  EXPECT_EQ(container.uiActivations, 1);
  EXPECT_TRUE(control->IsUIActive());
  EXPECT_EQ(GetFocus(), window);
  ASSERT_FALSE(container.focus.empty());
  EXPECT_TRUE(container.focus.back());

  SetFocus(container.window);
  EXPECT_FALSE(container.focus.back()) << "losing the focus is reported";

  // Hide: UI deactivation and an invisible window.
  EXPECT_EQ(ole->DoVerb(OLEIVERB_HIDE, nullptr, container.site(), 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(container.uiDeactivations, 1);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(ole->DoVerb(OLEIVERB_SHOW, nullptr, container.site(), 0, nullptr, nullptr), S_OK);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(container.inPlaceActivations, 1) << "an active control is not activated again";
}

TEST(ControlActivation, WindowlessControlTakesForwardedMessagesAndDrawsAtItsPosition) {
  TestContainer container(SiteKind::kWindowless);
  ControlHandle control;
  auto ole = control.As<IOleObject>();
  ole->SetClientSite(container.site());
  ASSERT_EQ(ole->DoVerb(OLEIVERB_PRIMARY, nullptr, container.site(), 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(container.uiActivations, 1);

  auto windowless = control.As<IOleInPlaceObjectWindowless>();
  LRESULT result = 0;
  EXPECT_EQ(windowless->OnWindowMessage(kPingMessage, 0, 0, &result), S_OK);
  EXPECT_EQ(result, 42);
  container.focus.clear();
  EXPECT_EQ(windowless->OnWindowMessage(WM_SETFOCUS, 0, 0, &result), S_FALSE)
      << "observed, then left to the container's default handling";
  EXPECT_EQ(container.focus, std::vector<bool>{true});

  // No bounds: a windowless active control draws at the position it was given.
  Canvas canvas(160, 100);
  ASSERT_EQ(control.As<IViewObject>()->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr,
                                            canvas.dc(), nullptr, nullptr, nullptr, 0),
            S_OK);
  EXPECT_EQ(canvas.Pixel(10, 10), kInkPixel);
  EXPECT_EQ(canvas.Pixel(109, 59), kInkPixel);
  EXPECT_EQ(canvas.Pixel(110, 60), kPaperPixel);

  // Placing the control again moves where it draws.
  const RECT moved{20, 30, 60, 50};
  ASSERT_EQ(windowless->SetObjectRects(&moved, &moved), S_OK);
  EXPECT_TRUE(SameRect(control->PositionRect(), moved));
}

TEST(ControlActivation, CloseDeactivatesSavesWhenDirtyAndTellsTheSinks) {
  TestContainer container;
  ControlHandle control;
  auto ole = control.As<IOleObject>();
  ole->SetClientSite(container.site());
  DWORD cookie = 0;
  ASSERT_EQ(ole->Advise(container.sink(), &cookie), S_OK);
  ASSERT_EQ(ole->DoVerb(OLEIVERB_UIACTIVATE, nullptr, container.site(), 0, nullptr, nullptr),
            S_OK);
  HWND window = ControlWindowOf(control);
  ASSERT_EQ(control.As<ITestControl>()->put_Number(3), S_OK);  // dirty

  EXPECT_EQ(ole->Close(OLECLOSE_SAVEIFDIRTY), S_OK);
  EXPECT_EQ(container.uiDeactivations, 1);
  EXPECT_EQ(container.inPlaceDeactivations, 1);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(container.saves, 1);
  EXPECT_EQ(container.savedNotices, 1);
  EXPECT_EQ(container.closedNotices, 1);

  // Clean, or told not to save: no save.
  EXPECT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
  EXPECT_EQ(container.saves, 1);
  EXPECT_EQ(container.closedNotices, 2);
  EXPECT_EQ(ole->Unadvise(cookie), S_OK);
  EXPECT_EQ(ole->Close(OLECLOSE_NOSAVE), S_OK);
  EXPECT_EQ(container.closedNotices, 2) << "an unadvised sink hears nothing";
}

}  // namespace
}  // namespace control_test
