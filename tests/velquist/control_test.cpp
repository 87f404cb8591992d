// The card-swipe control as a container and a client see it: its interfaces, status values,
// drawing, and the module's unload probe.
#include <windows.h>
#include <ocidl.h>
#include <objsafe.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <chrono>

#include "com_ptr.h"
#include "canvas.h"
#include "gdi.h"
#include "loaded_server.h"
#include "Velquist.h"

namespace {

using activex::ComPtr;

const registry_test::LoadedServer& Server() {
  static const registry_test::LoadedServer server(VELQUIST_PATH);
  return server;
}

class VelquistControl : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_TRUE(Server().loaded());
    ASSERT_EQ(Server().Create(CLSID_Velquist, control), S_OK);
  }
  void TearDown() override {
    control = nullptr;
    CoUninitialize();
  }
  ComPtr<IVelquist> control;
};

TEST_F(VelquistControl, AnswersItsInterfacesAndNoOthers) {
  const IID answered[] = {IID_IVelquist, IID_IDispatch, IID_IViewObjectEx, IID_IViewObject2,
                          IID_IViewObject, IID_IOleInPlaceObjectWindowless,
                          IID_IOleInPlaceObject, IID_IOleWindow, IID_IOleInPlaceActiveObject,
                          IID_IOleControl, IID_IOleObject, IID_IPersistStreamInit, IID_IPersist,
                          IID_ISupportErrorInfo, IID_ISpecifyPropertyPages, IID_IQuickActivate,
                          IID_IPersistStorage, IID_IDataObject, IID_IProvideClassInfo,
                          IID_IProvideClassInfo2};
  for (const IID& iid : answered) {
    ComPtr<IUnknown> p;
    wchar_t name[40];
    StringFromGUID2(iid, name, 40);
    EXPECT_EQ(control.As(iid, p.put_void()), S_OK) << std::string(name, name + 38);
  }
  const IID refused[] = {IID_IConnectionPointContainer, IID_IObjectSafety, IID_IPropertyBag};
  for (const IID& iid : refused) {
    ComPtr<IUnknown> p;
    EXPECT_EQ(control.As(iid, p.put_void()), E_NOINTERFACE);
  }

  ComPtr<ISupportErrorInfo> errorInfo;
  ASSERT_EQ(control.As(errorInfo), S_OK);
  EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IVelquist), S_OK);
  EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

  ComPtr<IOleObject> ole;
  ASSERT_EQ(control.As(ole), S_OK);
  DWORD misc = 0;
  EXPECT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
  EXPECT_EQ(misc, 132497u);
  ComPtr<IViewObjectEx> view;
  ASSERT_EQ(control.As(view), S_OK);
  DWORD status = 1;
  EXPECT_EQ(view->GetViewStatus(&status), S_OK);
  EXPECT_EQ(status, 0u);
  SIZEL extent{};
  EXPECT_EQ(ole->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
  EXPECT_EQ(extent.cx, 5080);
  EXPECT_EQ(extent.cy, 5080);
}

using test_support::Canvas;

TEST_F(VelquistControl, DrawsAFramedCentredCaptionAndPutsTheClipBack) {
  Canvas canvas(240, 80);
  // A clip region of the caller's, which the drawing must leave as it found it.
  activex::Region callerClip(CreateRectRgn(0, 0, 200, 70));
  ASSERT_NE(SelectClipRgn(canvas.dc(), callerClip.get()), ERROR);

  ComPtr<IViewObject> view;
  ASSERT_EQ(control.As(view), S_OK);
  const RECTL bounds{10, 10, 190, 60};
  ASSERT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.dc(), &bounds,
                       nullptr, nullptr, 0),
            S_OK);

  // The frame: the default black pen on the bounds, the default white brush inside.
  EXPECT_EQ(canvas.Pixel(10, 30), 0u);
  EXPECT_EQ(canvas.Pixel(100, 10), 0u);
  EXPECT_EQ(canvas.Pixel(9, 30), 0x00FFFFFFu) << "nothing outside the bounds";
  // The caption: ink above the baseline at the centre (y = 35), none far left inside.
  int ink = 0;
  for (int x = 40; x < 160; ++x)
    for (int y = 22; y < 36; ++y) ink += canvas.Pixel(x, y) == 0;
  EXPECT_GT(ink, 40) << "caption text drawn around the centre";
  for (int y = 12; y < 58; ++y) EXPECT_EQ(canvas.Pixel(13, y), 0x00FFFFFFu);

  activex::Region after(CreateRectRgn(0, 0, 0, 0));
  ASSERT_EQ(GetClipRgn(canvas.dc(), after.get()), 1);
  EXPECT_TRUE(EqualRgn(after.get(), callerClip.get())) << "the caller's clip region is back";
  EXPECT_EQ(GetTextAlign(canvas.dc()) & (TA_CENTER | TA_BASELINE), 0u)
      << "the drawing leaves the caller's DC state alone";
}

TEST_F(VelquistControl, UnloadProbeStopsTheRecordingAndCountsLiveControls) {
  // With no sound server the worker fails to open the device and stays in its failed state
  // until a stop cleans it up; the unload probe is such a stop (two pauses of 100 ms).
  ASSERT_EQ(control->StartRecording(1), S_OK);
  Sleep(300);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Server().CanUnloadNow(), S_FALSE) << "a live control keeps the module";
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(190));

  control = nullptr;
  EXPECT_EQ(Server().CanUnloadNow(), S_OK);
}

}  // namespace
