// The simulated SDK's interfaces as widl compiles them: the method table of the SDK's dual
// interface slot by slot (the fingerprint control calls through it), and the type libraries that
// scripts and IDispatch see: identities, DISPIDs and parameter types of every member.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fingersdk.h"
#include "fingersdksim.h"
#include "idl_slots.h"
#include "operations.h"

namespace {

TEST(FingerSdkHeader, EveryMethodSitsInItsSlot) {
  // Named methods where the control expects them (the operations table says where)...
  std::size_t named = 0;
  for (const fingersim::OperationInfo& op : fingersim::kOperations) {
    if (op.slot < 0) continue;
    bool found = false;
    for (std::size_t i = 0; i < kFingerSdkSlotCount; ++i) {
      if (op.name == kFingerSdkSlots[i].name) {
        EXPECT_EQ(kFingerSdkSlots[i].slot, static_cast<std::size_t>(op.slot)) << op.name;
        found = true;
      }
    }
    EXPECT_TRUE(found) << op.name;
    named += found;
  }
  EXPECT_EQ(named, 10u);
  // ...the fillers in the slots their names give, IUnknown and IDispatch first, nothing after.
  for (std::size_t i = 0; i < kFingerSdkSlotCount; ++i) {
    const std::string name = kFingerSdkSlots[i].name;
    std::size_t expected = kFingerSdkSlots[i].slot;
    if (name.rfind("Reserved", 0) == 0) expected = std::stoul(name.substr(8));
    if (name == "QueryInterface") expected = 0;
    if (name == "Invoke") expected = 6;
    EXPECT_EQ(kFingerSdkSlots[i].slot, expected) << name;
  }
  EXPECT_EQ(kFingerSdkTableSize, static_cast<std::size_t>(fingersim::kLastSdkSlot + 1));
}

// A parameter or result type as IDL would spell it.
std::wstring TypeName(ITypeInfo* info, const TYPEDESC& t) {
  switch (t.vt) {
    case VT_PTR: return TypeName(info, *t.lptdesc) + L"*";
    case VT_SAFEARRAY: return L"SAFEARRAY(" + TypeName(info, *t.lptdesc) + L")";
    case VT_I4: return L"long";
    case VT_UI1: return L"unsigned char";
    case VT_BSTR: return L"BSTR";
    case VT_BOOL: return L"VARIANT_BOOL";
    case VT_VARIANT: return L"VARIANT";
    case VT_DISPATCH: return L"IDispatch*";
    case VT_HRESULT: return L"HRESULT";
    case VT_VOID: return L"void";
    case VT_USERDEFINED: {
      ITypeInfo* ref = nullptr;
      BSTR name = nullptr;
      std::wstring n = L"?";
      if (SUCCEEDED(info->GetRefTypeInfo(t.hreftype, &ref)) &&
          SUCCEEDED(ref->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr))) {
        n = name;
      }
      SysFreeString(name);
      if (ref) ref->Release();
      return n;
    }
    default: return L"vt" + std::to_wstring(t.vt);
  }
}

// "Name([in] type, [in,out] type, [out,retval] type)" with the member's DISPID and, for a
// function of a vtable interface, its slot.
struct Member {
  MEMBERID id;
  int slot;
  std::wstring signature;
};

std::vector<Member> Members(ITypeInfo* info) {
  std::vector<Member> members;
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return members;
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    if (FAILED(info->GetFuncDesc(i, &f))) continue;
    BSTR names[16] = {};
    UINT count = 0;
    info->GetNames(f->memid, names, 16, &count);
    std::wstring s = names[0] ? names[0] : L"?";
    if (f->invkind == INVOKE_PROPERTYGET) s = L"get " + s;
    s += L"(";
    for (SHORT p = 0; p < f->cParams; ++p) {
      const USHORT flags = f->lprgelemdescParam[p].paramdesc.wParamFlags;
      std::wstring dir;
      if (flags & PARAMFLAG_FIN) dir += L"in";
      if (flags & PARAMFLAG_FOUT) dir += dir.empty() ? L"out" : L",out";
      if (flags & PARAMFLAG_FRETVAL) dir += L",retval";
      s += (p ? L", [" : L"[") + dir + L"] " + TypeName(info, f->lprgelemdescParam[p].tdesc);
    }
    s += L")";
    for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
    members.push_back({f->memid, f->funckind == FUNC_DISPATCH ? -1 : f->oVft / static_cast<int>(sizeof(void*)), s});
    info->ReleaseFuncDesc(f);
  }
  info->ReleaseTypeAttr(attr);
  return members;
}

class TypeLibrary : public testing::Test {
 protected:
  void Load(const wchar_t* path) {
    ASSERT_HRESULT_SUCCEEDED(LoadTypeLibEx(path, REGKIND_NONE, &lib_)) << "cannot load the type library";
  }
  void TearDown() override {
    if (lib_) lib_->Release();
  }
  ITypeInfo* Info(REFGUID guid) {
    ITypeInfo* info = nullptr;
    EXPECT_HRESULT_SUCCEEDED(lib_->GetTypeInfoOfGuid(guid, &info));
    infos_.emplace_back(info);
    return info;
  }
  ~TypeLibrary() override {
    for (ITypeInfo* i : infos_) {
      if (i) i->Release();
    }
  }
  ITypeLib* lib_ = nullptr;
  std::vector<ITypeInfo*> infos_;
};

// The vtable half of a dual interface: its own methods only, each with its slot.
ITypeInfo* VtableHalf(ITypeInfo* dual) {
  HREFTYPE ref = 0;
  ITypeInfo* vtable = nullptr;
  if (!dual || FAILED(dual->GetRefTypeOfImplType(-1, &ref)) || FAILED(dual->GetRefTypeInfo(ref, &vtable))) {
    return nullptr;
  }
  return vtable;
}

void ExpectMembers(ITypeInfo* info, const std::vector<Member>& expected) {
  const std::vector<Member> actual = Members(info);
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(actual[i].signature, expected[i].signature);
    EXPECT_EQ(actual[i].id, expected[i].id) << "DISPID of " << testing::PrintToString(expected[i].signature);
    EXPECT_EQ(actual[i].slot, expected[i].slot) << "slot of " << testing::PrintToString(expected[i].signature);
  }
}

TEST_F(TypeLibrary, FingerSdkLibraryDescribesTheSdkExactly) {
  Load(FINGERSDK_TLB);
  ASSERT_NE(lib_, nullptr);
  TLIBATTR* attr = nullptr;
  ASSERT_HRESULT_SUCCEEDED(lib_->GetLibAttr(&attr));
  EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_FingerSdkLib));
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  lib_->ReleaseTLibAttr(attr);
  EXPECT_EQ(LIBID_FingerSdkLib.Data1, 0xA9995C7Cu);
  EXPECT_EQ(CLSID_FingerSdk.Data1, 0x71944DD6u);
  EXPECT_EQ(IID_IFingerSdk.Data1, 0xA92FF0A8u);
  EXPECT_EQ(DIID__IFingerSdkEvents.Data1, 0x8D7EE181u);

  // The dual interface's vtable half: every method in its slot, with its DISPID equal to it.
  ITypeInfo* vtable = VtableHalf(Info(IID_IFingerSdk));
  ASSERT_NE(vtable, nullptr);
  infos_.push_back(vtable);
  std::vector<Member> expected;
  auto add = [&](int slot, const wchar_t* signature) { expected.push_back({slot, slot, signature}); };
  auto filler = [&](int slot) {
    wchar_t s[32];
    swprintf(s, 32, L"Reserved%02d()", slot);
    add(slot, s);
  };
  add(7, L"StartupStage1([out,retval] long*)");
  add(8, L"ShutdownStage1([out,retval] long*)");
  for (int s = 9; s <= 17; ++s) filler(s);
  add(18, L"StartupStage2([out,retval] long*)");
  add(19, L"ShutdownStage2([out,retval] long*)");
  add(20, L"BeginCaptureOn([in] BSTR, [out,retval] long*)");
  add(21, L"EndCaptureOn([in] BSTR, [out,retval] long*)");
  filler(22);
  filler(23);
  add(24, L"RawImageToPicture([in] VARIANT*, [in] long, [in] long, [in] long, [out] IDispatch**, "
          L"[out,retval] long*)");
  add(25, L"ExtractTemplateFromImage([in] VARIANT*, [in] long, [in] long, [in] long, "
          L"[in,out] SAFEARRAY(unsigned char)*, [in,out] long*, [in] long, [out,retval] long*)");
  for (int s = 26; s <= 32; ++s) filler(s);
  add(33, L"BeginEnrollment([in] long, [out,retval] long*)");
  add(34, L"EnrollFromImage([in] VARIANT*, [in] long, [in] long, [in] long, "
          L"[in,out] SAFEARRAY(unsigned char)*, [in,out] long*, [in,out] long*, [in] long, [in] long, "
          L"[out,retval] long*)");
  ExpectMembers(vtable, expected);

  // The events: DISPIDs 1 to 5, a device identifier each, event 5 with the image.
  ExpectMembers(Info(DIID__IFingerSdkEvents),
                {{1, -1, L"DeviceConnected([in] BSTR)"},
                 {2, -1, L"DeviceDisconnected([in] BSTR)"},
                 {3, -1, L"FingerTouched([in] BSTR)"},
                 {4, -1, L"FingerLifted([in] BSTR)"},
                 {5, -1, L"ImageCaptured([in] BSTR, [in] long, [in] long, [in] VARIANT*, [in] long)"}});

  // The class: the dual interface by default, the events as its default source.
  ITypeInfo* coclass = Info(CLSID_FingerSdk);
  ASSERT_NE(coclass, nullptr);
  TYPEATTR* classAttr = nullptr;
  ASSERT_HRESULT_SUCCEEDED(coclass->GetTypeAttr(&classAttr));
  EXPECT_EQ(classAttr->typekind, TKIND_COCLASS);
  ASSERT_EQ(classAttr->cImplTypes, 2);
  coclass->ReleaseTypeAttr(classAttr);
  for (UINT i = 0; i < 2; ++i) {
    INT flags = 0;
    HREFTYPE ref = 0;
    ITypeInfo* impl = nullptr;
    TYPEATTR* implAttr = nullptr;
    ASSERT_HRESULT_SUCCEEDED(coclass->GetImplTypeFlags(i, &flags));
    ASSERT_HRESULT_SUCCEEDED(coclass->GetRefTypeOfImplType(i, &ref));
    ASSERT_HRESULT_SUCCEEDED(coclass->GetRefTypeInfo(ref, &impl));
    ASSERT_HRESULT_SUCCEEDED(impl->GetTypeAttr(&implAttr));
    if (flags & IMPLTYPEFLAG_FSOURCE) {
      EXPECT_TRUE(IsEqualGUID(implAttr->guid, DIID__IFingerSdkEvents));
    } else {
      EXPECT_TRUE(IsEqualGUID(implAttr->guid, IID_IFingerSdk));
    }
    EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
    impl->ReleaseTypeAttr(implAttr);
    impl->Release();
  }
}

TEST_F(TypeLibrary, ScannerChannelLibraryOffersTheScriptingMembers) {
  Load(FINGERSDKSIM_TLB);
  ASSERT_NE(lib_, nullptr);
  ITypeInfo* vtable = VtableHalf(Info(IID_IFingerSdkScanner));
  ASSERT_NE(vtable, nullptr);
  infos_.push_back(vtable);
  ExpectMembers(vtable, {{1, 7, L"Results([in] BSTR, [in] BSTR)"},
                         {2, 8, L"Fail([in] BSTR, [in] VARIANT)"},
                         {3, 9, L"PictureWithoutIPicture([in] VARIANT_BOOL)"},
                         {4, 10, L"Touch([in] long)"},
                         {5, 11, L"TouchImage([in] long, [in] long, [in] VARIANT)"},
                         {6, 12, L"Event([in] long, [in] BSTR)"},
                         {7, 13, L"get CallLog([out,retval] BSTR*)"},
                         {8, 14, L"get LiveObjects([out,retval] long*)"},
                         {9, 15, L"Reset()"}});
  // Scripts call by name.
  ITypeInfo* dispatch = Info(IID_IFingerSdkScanner);
  ASSERT_NE(dispatch, nullptr);
  const wchar_t* names[] = {L"Results", L"Fail", L"PictureWithoutIPicture", L"Touch", L"TouchImage",
                            L"Event", L"CallLog", L"LiveObjects", L"Reset"};
  for (MEMBERID expected = 1; expected <= 9; ++expected) {
    LPOLESTR name = const_cast<LPOLESTR>(names[expected - 1]);
    MEMBERID id = 0;
    EXPECT_HRESULT_SUCCEEDED(dispatch->GetIDsOfNames(&name, 1, &id)) << expected;
    EXPECT_EQ(id, expected);
  }
  ITypeInfo* coclass = Info(CLSID_Scanner);
  ASSERT_NE(coclass, nullptr);
  BSTR name = nullptr;
  ASSERT_HRESULT_SUCCEEDED(coclass->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr));
  EXPECT_STREQ(name, L"Scanner");
  SysFreeString(name);
}

}  // namespace
