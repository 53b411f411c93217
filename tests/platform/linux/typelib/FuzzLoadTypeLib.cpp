// libFuzzer target: any bytes handed to LoadTypeLib, as a library file or as
// the resource of a module, either fail to load or load into a library that
// can be read in full.
#include "platform/TypeLib.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

void readTypeDesc(ITypeInfo* info, const TYPEDESC& desc)
{
    if (desc.vt == VT_PTR || desc.vt == VT_SAFEARRAY) {
        readTypeDesc(info, *desc.lptdesc);
    } else if (desc.vt == VT_CARRAY) {
        readTypeDesc(info, desc.lpadesc->tdescElem);
    } else if (desc.vt == VT_USERDEFINED) {
        ITypeInfo* ref = nullptr;
        if (SUCCEEDED(info->GetRefTypeInfo(desc.hreftype, &ref)))
            ref->Release();
    }
}

void readAll(ITypeLib* lib)
{
    BSTR name = nullptr;
    lib->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
    SysFreeString(name);
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        ITypeInfo* info = nullptr;
        if (FAILED(lib->GetTypeInfo(i, &info)))
            continue;
        TYPEATTR* attr = nullptr;
        if (SUCCEEDED(info->GetTypeAttr(&attr))) {
            for (UINT f = 0; f < attr->cFuncs; ++f) {
                FUNCDESC* desc = nullptr;
                if (FAILED(info->GetFuncDesc(f, &desc)))
                    continue;
                readTypeDesc(info, desc->elemdescFunc.tdesc);
                for (SHORT p = 0; p < desc->cParams; ++p)
                    readTypeDesc(info, desc->lprgelemdescParam[p].tdesc);
                BSTR names[4] = {};
                UINT count = 0;
                if (SUCCEEDED(info->GetNames(desc->memid, names, 4, &count)))
                    for (UINT k = 0; k < count; ++k)
                        SysFreeString(names[k]);
                info->ReleaseFuncDesc(desc);
            }
            for (UINT v = 0; v < attr->cVars; ++v) {
                VARDESC* desc = nullptr;
                if (FAILED(info->GetVarDesc(v, &desc)))
                    continue;
                readTypeDesc(info, desc->elemdescVar.tdesc);
                info->ReleaseVarDesc(desc);
            }
            for (UINT k = 0; k < attr->cImplTypes; ++k) {
                HREFTYPE href = 0;
                ITypeInfo* ref = nullptr;
                if (SUCCEEDED(info->GetRefTypeOfImplType(k, &href)) && SUCCEEDED(info->GetRefTypeInfo(href, &ref)))
                    ref->Release();
            }
            info->ReleaseTypeAttr(attr);
        }
        info->Release();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int fd = memfd_create("typelib", 0);
    if (fd < 0)
        return 0;
    if (write(fd, data, size) == static_cast<ssize_t>(size)) {
        std::string path = "/proc/self/fd/" + std::to_string(fd);
        std::u16string widePath(path.begin(), path.end());
        ITypeLib* lib = nullptr;
        if (SUCCEEDED(LoadTypeLib(widePath.c_str(), &lib))) {
            readAll(lib);
            lib->Release();
        }
    }
    close(fd);
    return 0;
}
