// Drawing through IViewObject::Draw into a memory DC, and the metafile picture of IDataObject
// with its data advise sinks.
#include "control_fixture.h"

#include "global_memory.h"

namespace control_test {
namespace {

TEST(ControlDrawing, DrawPaintsTheBoundsAndGivesTheDCBack) {
  struct Case {
    POINT viewportOrigin;
    RECT expected;  // in device pixels
  } cases[] = {
      {{0, 0}, {8, 8, 40, 24}},
      {{5, 3}, {13, 11, 45, 27}},  // logical bounds reach OnDraw in device units
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.viewportOrigin.x);
    ControlHandle control;
    Canvas canvas(64, 64);
    SetViewportOrgEx(canvas.dc(), c.viewportOrigin.x, c.viewportOrigin.y, nullptr);
    const RECTL bounds{8, 8, 40, 24};
    ASSERT_EQ(control.As<IViewObject>()->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr,
                                              canvas.dc(), &bounds, nullptr, nullptr, 0),
              S_OK);
    EXPECT_EQ(control->draws, 1);
    EXPECT_TRUE(SameRect(control->lastBounds, c.expected));
    const RECT& e = c.expected;
    EXPECT_EQ(canvas.Pixel(e.left, e.top), kInkPixel);
    EXPECT_EQ(canvas.Pixel(e.right - 1, e.bottom - 1), kInkPixel);
    EXPECT_EQ(canvas.Pixel(e.left - 1, e.top), kPaperPixel);
    EXPECT_EQ(canvas.Pixel(e.right, e.bottom - 1), kPaperPixel);
    EXPECT_EQ(canvas.Pixel(e.left, e.bottom), kPaperPixel);

    POINT origin{};
    GetViewportOrgEx(canvas.dc(), &origin);
    EXPECT_EQ(origin.x, c.viewportOrigin.x);
    EXPECT_EQ(origin.y, c.viewportOrigin.y);
    EXPECT_EQ(GetTextAlign(canvas.dc()), static_cast<UINT>(TA_TOP | TA_LEFT))
        << "what OnDraw changed in the DC is undone";
  }
}

TEST(ControlDrawing, DrawRefusesWhatItCannotDraw) {
  ControlHandle control;
  auto view = control.As<IViewObject>();
  Canvas canvas(8, 8);
  const RECTL bounds{0, 0, 8, 8};
  EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, canvas.dc(), &bounds,
                       nullptr, nullptr, 0),
            DV_E_DVASPECT);
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &bounds, nullptr,
                       nullptr, 0),
            E_INVALIDARG);
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.dc(), nullptr,
                       nullptr, nullptr, 0),
            E_INVALIDARG)
      << "only a windowless active control may be drawn without bounds";
  EXPECT_EQ(control->draws, 0);
}

// Owns what GetData hands out.
struct Medium {
  STGMEDIUM m{};
  ~Medium() { ReleaseStgMedium(&m); }
};

FORMATETC MetafileFormat() { return {CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT}; }

TEST(ControlDrawing, DataObjectRendersOnDrawAsAMetafileOfTheExtent) {
  ControlHandle control;
  auto data = control.As<IDataObject>();
  FORMATETC format = MetafileFormat();
  EXPECT_EQ(data->QueryGetData(&format), S_OK);
  Medium medium;
  ASSERT_EQ(data->GetData(&format, &medium.m), S_OK);
  ASSERT_EQ(medium.m.tymed, static_cast<DWORD>(TYMED_MFPICT));
  EXPECT_EQ(medium.m.pUnkForRelease, nullptr);
  EXPECT_EQ(control->draws, 1);
  const SIZE pixels = activex::HimetricToPixels(activex::kDefaultExtent);
  EXPECT_TRUE(SameRect(control->lastBounds, RECT{0, 0, pixels.cx, pixels.cy}));

  HMETAFILE picture = nullptr;
  {
    activex::GlobalLockScope<METAFILEPICT> pict(medium.m.hMetaFilePict);
    ASSERT_NE(pict.get(), nullptr);
    EXPECT_EQ(pict->mm, MM_ANISOTROPIC);
    EXPECT_EQ(pict->xExt, 5080);
    EXPECT_EQ(pict->yExt, 5080);
    picture = pict->hMF;
  }
  // Played into any rectangle, the picture fills it.
  Canvas canvas(40, 30);
  SetMapMode(canvas.dc(), MM_ANISOTROPIC);
  SetViewportExtEx(canvas.dc(), 40, 30, nullptr);
  ASSERT_TRUE(PlayMetaFile(canvas.dc(), picture));
  SetMapMode(canvas.dc(), MM_TEXT);
  EXPECT_EQ(canvas.Pixel(0, 0), kInkPixel);
  EXPECT_EQ(canvas.Pixel(20, 15), kInkPixel);
  EXPECT_EQ(canvas.Pixel(39, 29), kInkPixel);
}

TEST(ControlDrawing, DataObjectRefusesOtherFormats) {
  ControlHandle control;
  auto data = control.As<IDataObject>();
  struct Case {
    FORMATETC format;
    HRESULT expected;
  } cases[] = {
      {{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}, DV_E_FORMATETC},
      {{CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}, DV_E_TYMED},
      {{CF_METAFILEPICT, nullptr, DVASPECT_ICON, -1, TYMED_MFPICT}, DV_E_DVASPECT},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(data->QueryGetData(&c.format), c.expected);
    Medium medium;
    EXPECT_EQ(data->GetData(&c.format, &medium.m), c.expected);
  }
  EXPECT_EQ(control->draws, 0);
}

TEST(ControlDrawing, ResizingTellsTheDataAndViewSinks) {
  TestContainer container;
  ControlHandle control;
  auto data = control.As<IDataObject>();
  FORMATETC format = MetafileFormat();
  DWORD cookie = 0;
  ASSERT_EQ(data->DAdvise(&format, 0, container.sink(), &cookie), S_OK);
  EXPECT_NE(cookie, 0u);
  ASSERT_EQ(control.As<IViewObject>()->SetAdvise(DVASPECT_CONTENT, 0, container.sink()), S_OK);

  // The control recomposes on resize: the data (rendered afresh) and the view have changed.
  SIZEL size{1000, 2000};
  ASSERT_EQ(control.As<IOleObject>()->SetExtent(DVASPECT_CONTENT, &size), S_OK);
  EXPECT_EQ(container.dataChanges, 1);
  EXPECT_EQ(container.lastDataTymed, static_cast<DWORD>(TYMED_MFPICT));
  EXPECT_EQ(container.viewChanges, std::vector<DWORD>{DVASPECT_CONTENT});
  EXPECT_EQ(control.As<IPersistStreamInit>()->IsDirty(), S_OK);

  ASSERT_EQ(control.As<IOleObject>()->SetExtent(DVASPECT_CONTENT, &size), S_OK);
  EXPECT_EQ(container.dataChanges, 1) << "the same size is no change";

  EXPECT_EQ(data->DUnadvise(cookie), S_OK);
  EXPECT_EQ(data->DUnadvise(cookie), OLE_E_NOCONNECTION);
  size = {3000, 3000};
  ASSERT_EQ(control.As<IOleObject>()->SetExtent(DVASPECT_CONTENT, &size), S_OK);
  EXPECT_EQ(container.dataChanges, 1);
  EXPECT_EQ(container.viewChanges.size(), 2u);
}

}  // namespace
}  // namespace control_test
