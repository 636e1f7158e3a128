// A registry file holding other programs' keys: a file extension, a class with its server,
// and a key below another root that is not ours to read.
#pragma once

#include <string>

namespace testfiles {

inline const std::string kForeignRegistry =
    "REGEDIT4\n\n"
    "[HKEY_CLASSES_ROOT\\.txt]\n@=\"txtfile\"\n\n"
    "[HKEY_CLASSES_ROOT\\CLSID]\n\n"
    "[HKEY_CLASSES_ROOT\\CLSID\\{0A0B0C0D-1111-2222-3333-444455556666}]\n@=\"Other Class\"\n\n"
    "[HKEY_CLASSES_ROOT\\CLSID\\{0A0B0C0D-1111-2222-3333-444455556666}\\InprocServer32]\n"
    "@=\"/usr/lib/other.so\"\n\"ThreadingModel\"=\"Both\"\n\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Other]\n\"Level\"=dword:00000003\n\n";

}  // namespace testfiles
