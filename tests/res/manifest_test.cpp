// The application manifest inside the real dist\ORNAX.exe: well-formed XML
// with what today's Windows reads from it, laid out so that Windows XP, which
// is strict, takes it too.
#include "harness.h"

#include <msxml2.h>

namespace
{
const CLSID ClsidDomDocument30 = {0xf5078f32, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};
const IID IidDomDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

std::string ManifestOf(const std::wstring &path)
{
    HMODULE module = LoadLibraryExW(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return "";
    std::string text;
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (HGLOBAL data = found ? LoadResource(module, found) : NULL)
        text.assign((const char *)LockResource(data), SizeofResource(module, found));
    FreeLibrary(module);
    return text;
}

int CountNodes(IXMLDOMDocument2 *document, const wchar_t *xpath)
{
    IXMLDOMNodeList *nodes = NULL;
    BSTR query = SysAllocString(xpath);
    long count = -1;
    if (SUCCEEDED(document->selectNodes(query, &nodes)) && nodes)
    {
        nodes->get_length(&count);
        nodes->Release();
    }
    SysFreeString(query);
    return (int)count;
}

void SetProperty(IXMLDOMDocument2 *document, const wchar_t *name, const wchar_t *value)
{
    BSTR property = SysAllocString(name);
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(value);
    document->setProperty(property, v);
    SysFreeString(property);
    VariantClear(&v);
}
}

TEST(Manifest, IsWellFormedAndAsksForCommonControls6PerMonitorDpiAndNoElevation)
{
    std::string text = ManifestOf(ProgramPath());
    ASSERT_FALSE(text.empty()) << "no RT_MANIFEST 1 in ORNAX.exe";
    // Windows XP SP2 can fail on an element that declares two namespaces.
    for (size_t open = text.find('<'); open != std::string::npos; open = text.find('<', open + 1))
    {
        std::string tag = text.substr(open, text.find('>', open) - open);
        size_t first = tag.find("xmlns");
        EXPECT_TRUE(first == std::string::npos || tag.find("xmlns", first + 1) == std::string::npos) << tag;
    }

    ASSERT_TRUE(SUCCEEDED(CoInitialize(NULL)));
    IXMLDOMDocument2 *document = NULL;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(ClsidDomDocument30, NULL, CLSCTX_INPROC_SERVER, IidDomDocument2,
                                           (void **)&document)));
    document->put_async(VARIANT_FALSE);
    std::wstring wide(text.begin(), text.end());
    BSTR xml = SysAllocString(wide.c_str());
    VARIANT_BOOL parsed = VARIANT_FALSE;
    document->loadXML(xml, &parsed);
    SysFreeString(xml);
    EXPECT_EQ(parsed, VARIANT_TRUE) << "not well-formed";
    SetProperty(document, L"SelectionLanguage", L"XPath");
    SetProperty(document, L"SelectionNamespaces",
                L"xmlns:v1='urn:schemas-microsoft-com:asm.v1' xmlns:v2='urn:schemas-microsoft-com:asm.v2' "
                L"xmlns:v3='urn:schemas-microsoft-com:asm.v3' "
                L"xmlns:c='urn:schemas-microsoft-com:compatibility.v1' "
                L"xmlns:w5='http://schemas.microsoft.com/SMI/2005/WindowsSettings' "
                L"xmlns:w16='http://schemas.microsoft.com/SMI/2016/WindowsSettings'");
    struct Expectation
    {
        const wchar_t *xpath;
        int count;
    } expectations[] = {
        {L"/v1:assembly[@manifestVersion='1.0']", 1},
        {L"/v1:assembly/v1:dependency/v1:dependentAssembly/v1:assemblyIdentity[@type='win32' and "
         L"@name='Microsoft.Windows.Common-Controls' and @version='6.0.0.0' and @processorArchitecture='x86' and "
         L"@publicKeyToken='6595b64144ccf1df' and @language='*']",
         1},
        {L"/v1:assembly/v3:application/v3:windowsSettings/w5:dpiAware[.='true']", 1},
        {L"/v1:assembly/v3:application/v3:windowsSettings/w16:dpiAwareness[.='PerMonitorV2']", 1},
        {L"/v1:assembly/c:compatibility/c:application/c:supportedOS", 5},
        {L"//c:supportedOS[@Id='{e2011457-1546-43c5-a5fe-008deee3d3f0}']", 1},  // Vista
        {L"//c:supportedOS[@Id='{35138b9a-5d96-4fbd-8e2d-a2440225f93a}']", 1},  // 7
        {L"//c:supportedOS[@Id='{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}']", 1},  // 8
        {L"//c:supportedOS[@Id='{1f676c76-80e1-4239-95bb-83d0f6d0da78}']", 1},  // 8.1
        {L"//c:supportedOS[@Id='{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}']", 1},  // 10 and 11
        {L"/v1:assembly/v2:trustInfo/v2:security/v2:requestedPrivileges/"
         L"v2:requestedExecutionLevel[@level='asInvoker']",
         1},
        // Windows XP refuses an element of the asm.v1 namespace it does not know.
        {L"//v1:*[not(local-name()='assembly' or local-name()='assemblyIdentity' or local-name()='description' or "
         L"local-name()='dependency' or local-name()='dependentAssembly')]",
         0},
    };
    for (const Expectation &e : expectations)
        EXPECT_EQ(CountNodes(document, e.xpath), e.count) << std::string(e.xpath, e.xpath + wcslen(e.xpath));
    document->Release();
    CoUninitialize();
}
