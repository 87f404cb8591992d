// MyPropertyPage: a property page registered with the server and offered by no control. Its
// dialog (resource 104) holds one line of text; it has no fields and changes no object.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include "object.h"
#include "property_page.h"
#include "QuorvaneBiometric.h"

namespace fingerprint {

class CMyPropertyPage : public activex::ObjectRoot<CMyPropertyPage>,
                        public activex::PropertyPageImpl<CMyPropertyPage> {
 public:
  static constexpr UINT kDialog = 104;
  static constexpr UINT kTitle = 105;
  static constexpr UINT kHelpFile = 106;
  static constexpr UINT kDocString = 107;
  static constexpr DWORD kHelpContext = 0;

  static const activex::InterfaceEntry* InterfaceMap() {
    static const activex::InterfaceEntry map[] = {
        activex::Entry<CMyPropertyPage, IPropertyPage>(), {}};
    return map;
  }
};

}  // namespace fingerprint
