// Persistence over the property map: stream and compound-file round trips, the saved layout,
// defaults of a new control, and streams that do not hold what the map expects.
#include "control_fixture.h"

#include <string>

namespace control_test {
namespace {

struct Values {
  const wchar_t* text;  // null: no text
  UINT textLength;
  SIZEL extent;
  LONG number;
};

void Apply(const ControlHandle& control, const Values& v) {
  activex::Bstr text =
      activex::Bstr::Adopt(v.text ? SysAllocStringLen(v.text, v.textLength) : nullptr);
  ASSERT_EQ(control.As<ITestControl>()->put_Text(text.get()), S_OK);
  ASSERT_EQ(control.As<ITestControl>()->put_Number(v.number), S_OK);
  SIZEL extent = v.extent;
  ASSERT_EQ(control.As<IOleObject>()->SetExtent(DVASPECT_CONTENT, &extent), S_OK);
}

void ExpectValues(const ControlHandle& control, const Values& v) {
  activex::Bstr text;
  ASSERT_EQ(control.As<ITestControl>()->get_Text(text.put()), S_OK);
  if (v.text) {
    ASSERT_TRUE(text);
    EXPECT_EQ(text.str(), std::wstring(v.text, v.textLength));
  } else {
    EXPECT_FALSE(text) << "a null text stays null";
  }
  LONG number = 0;
  ASSERT_EQ(control.As<ITestControl>()->get_Number(&number), S_OK);
  EXPECT_EQ(number, v.number);
  SIZEL extent{};
  ASSERT_EQ(control.As<IOleObject>()->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
  EXPECT_EQ(extent.cx, v.extent.cx);
  EXPECT_EQ(extent.cy, v.extent.cy);
}

ComPtr<IStream> MemoryStream() {
  ComPtr<IStream> stream;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  return stream;
}

void Rewind(IStream* stream) {
  LARGE_INTEGER zero{};
  ASSERT_EQ(stream->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
}

std::string Contents(IStream* stream) {
  STATSTG stat{};
  EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  std::string bytes(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
  Rewind(stream);
  ULONG read = 0;
  EXPECT_EQ(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read), S_OK);
  EXPECT_EQ(read, bytes.size());
  return bytes;
}

ComPtr<IStream> StreamHolding(const std::string& bytes) {
  ComPtr<IStream> stream = MemoryStream();
  ULONG written = 0;
  EXPECT_EQ(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written), S_OK);
  Rewind(stream.get());
  return stream;
}

const Values kCases[] = {
    {L"hello", 5, {1234, 4321}, -7},
    {L"a\0b", 3, {0, 0xFFFF}, 0x7FFFFFFF},  // embedded NUL kept
    {nullptr, 0, {5080, 5080}, 0},
};

TEST(ControlPersistence, StreamRoundTripsExtentTextAndCustomEntry) {
  for (const Values& v : kCases) {
    SCOPED_TRACE(v.number);
    ControlHandle first;
    Apply(first, v);
    auto saving = first.As<IPersistStreamInit>();
    EXPECT_EQ(saving->IsDirty(), S_OK);
    ComPtr<IStream> stream = MemoryStream();
    ASSERT_EQ(saving->Save(stream.get(), TRUE), S_OK);
    EXPECT_EQ(saving->IsDirty(), S_FALSE);

    ULARGE_INTEGER size{};
    ASSERT_EQ(saving->GetSizeMax(&size), S_OK);
    EXPECT_EQ(size.QuadPart, Contents(stream.get()).size());

    Rewind(stream.get());
    ControlHandle second;
    auto loading = second.As<IPersistStreamInit>();
    ASSERT_EQ(loading->Load(stream.get()), S_OK);
    ExpectValues(second, v);
    EXPECT_EQ(loading->IsDirty(), S_FALSE) << "a loaded control is clean";
  }
}

TEST(ControlPersistence, SavedStreamHasTheDocumentedLayout) {
  ControlHandle control;
  ASSERT_EQ(control.As<ITestControl>()->put_Text(activex::Bstr(L"AB").get()), S_OK);
  ASSERT_EQ(control.As<ITestControl>()->put_Number(5), S_OK);
  ComPtr<IStream> stream = MemoryStream();
  ASSERT_EQ(control.As<IPersistStreamInit>()->Save(stream.get(), FALSE), S_OK);
  EXPECT_EQ(control.As<IPersistStreamInit>()->IsDirty(), S_OK) << "saved without clearing";

  const unsigned char expected[] = {
      0x01, 0x00, 0x00, 0x00,                          // format 1
      0x13, 0x00, 0xD8, 0x13, 0x00, 0x00,              // "_cx": VT_UI4 5080
      0x13, 0x00, 0xD8, 0x13, 0x00, 0x00,              // "_cy": VT_UI4 5080
      0x08, 0x00, 0x04, 0x00, 0x00, 0x00, 'A', 0x00, 'B', 0x00,  // "Text": VT_BSTR, 4 bytes
      0x03, 0x00, 0x05, 0x00, 0x00, 0x00,              // "Number": the control's VT_I4 5
  };
  EXPECT_EQ(Contents(stream.get()),
            std::string(reinterpret_cast<const char*>(expected), sizeof expected));
}

TEST(ControlPersistence, LoadRefusesStreamsItCannotRead) {
  ControlHandle source;
  ASSERT_EQ(source.As<ITestControl>()->put_Text(activex::Bstr(L"AB").get()), S_OK);
  ComPtr<IStream> saved = MemoryStream();
  ASSERT_EQ(source.As<IPersistStreamInit>()->Save(saved.get(), TRUE), S_OK);
  const std::string good = Contents(saved.get());

  std::string otherFormat = good;
  otherFormat[0] = 2;
  std::string otherType = good;
  otherType[4] = VT_I4;  // "_cx" claims another type
  std::string oddText = good;
  oddText[18] = 3;  // a text of an odd number of bytes
  struct Case {
    const char* what;
    std::string bytes;
    HRESULT expected;
  } cases[] = {
      {"empty", std::string(), STG_E_READFAULT},
      {"cut in the header", good.substr(0, 3), STG_E_READFAULT},
      {"cut in the text", good.substr(0, 24), STG_E_READFAULT},
      {"cut before the custom entry", good.substr(0, 26), STG_E_READFAULT},
      {"unknown format", otherFormat, E_FAIL},
      {"wrong type", otherType, E_FAIL},
      {"odd text length", oddText, E_FAIL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ControlHandle control;
    EXPECT_EQ(control.As<IPersistStreamInit>()->Load(StreamHolding(c.bytes).get()), c.expected);
  }
}

TEST(ControlPersistence, StorageRoundTripsThroughACompoundFile) {
  const Values v = kCases[0];
  ControlHandle first;
  Apply(first, v);

  ComPtr<ILockBytes> bytes;
  ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()), S_OK);
  {
    ComPtr<IStorage> storage;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(
                  bytes.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                  storage.put()),
              S_OK);
    auto saving = first.As<IPersistStorage>();
    ASSERT_EQ(saving->Save(storage.get(), TRUE), S_OK);
    EXPECT_EQ(saving->SaveCompleted(nullptr), S_OK);
    EXPECT_EQ(saving->IsDirty(), S_FALSE);
    ASSERT_EQ(storage->Commit(STGC_DEFAULT), S_OK);
  }

  ComPtr<IStorage> storage;
  ASSERT_EQ(StgOpenStorageOnILockBytes(bytes.get(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE,
                                       nullptr, 0, storage.put()),
            S_OK);
  ControlHandle second;
  ASSERT_EQ(second.As<IPersistStorage>()->Load(storage.get()), S_OK);
  ExpectValues(second, v);

  // The same layout as the stream persistence, in the "Contents" stream.
  ComPtr<IStream> contents;
  ASSERT_EQ(storage->OpenStream(L"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                contents.put()),
            S_OK);
  ControlHandle third;
  ASSERT_EQ(third.As<IPersistStreamInit>()->Load(contents.get()), S_OK);
  ExpectValues(third, v);
}

TEST(ControlPersistence, NewControlHasTheDefaults) {
  const Values defaults{nullptr, 0, {5080, 5080}, 0};
  {
    ControlHandle control;
    ASSERT_EQ(control.As<IPersistStreamInit>()->InitNew(), S_OK);
    ExpectValues(control, defaults);
    EXPECT_EQ(control.As<IPersistStreamInit>()->IsDirty(), S_FALSE);
  }
  {
    ControlHandle control;
    ComPtr<ILockBytes> bytes;
    ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put()), S_OK);
    ComPtr<IStorage> storage;
    ASSERT_EQ(StgCreateDocfileOnILockBytes(
                  bytes.get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                  storage.put()),
              S_OK);
    ASSERT_EQ(control.As<IPersistStorage>()->InitNew(storage.get()), S_OK);
    ExpectValues(control, defaults);
    CLSID id{};
    ASSERT_EQ(control.As<IPersistStorage>()->GetClassID(&id), S_OK);
    EXPECT_EQ(id, kTestControlClass);
  }
}

}  // namespace
}  // namespace control_test
