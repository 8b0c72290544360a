// GUIDs to text and back, as the extension's registration forms its class key.
#include <gtest/gtest.h>

#include <string>

#include "com/inproc.h"
#include "com_test.h"
#include "win32/objbase.h"
#include "win32/shlobj.h"

namespace vlt::test {
namespace {

// The extension's class identifier {87b9bd00-c65c-11cd-a259-00dd010e8c28}.
const CLSID kExtension = {0x87b9bd00, 0xc65c, 0x11cd, {0xa2, 0x59, 0x00, 0xdd, 0x01, 0x0e, 0x8c, 0x28}};

std::u16string textOf(REFIID iid) {
    LPOLESTR text = nullptr;
    EXPECT_EQ(StringFromIID(iid, &text), S_OK);
    if (!text) return {};
    std::u16string out(text);
    CoTaskMemFree(text);
    return out;
}

TEST(GuidText, StringFromIidIsBracedUpperCaseInTaskMemory) {
    LPOLESTR text = nullptr;
    ASSERT_EQ(StringFromIID(kExtension, &text), S_OK);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text), u"{87B9BD00-C65C-11CD-A259-00DD010E8C28}");
    // The string comes from the task allocator: it knows its size (39 characters of 2 bytes).
    IMalloc* malloc = nullptr;
    ASSERT_EQ(CoGetMalloc(1, &malloc), S_OK);
    EXPECT_EQ(malloc->GetSize(text), 39u * sizeof(OLECHAR));
    malloc->Free(text);
    malloc->Release();

    LPOLESTR same = nullptr;
    ASSERT_EQ(StringFromCLSID(kExtension, &same), S_OK);
    EXPECT_EQ(std::u16string(same), u"{87B9BD00-C65C-11CD-A259-00DD010E8C28}");
    CoTaskMemFree(same);
    EXPECT_EQ(com::guidText(kExtension), "{87B9BD00-C65C-11CD-A259-00DD010E8C28}");
}

TEST(GuidText, WellKnownInterfaceIdentifiers) {
    EXPECT_EQ(textOf(IID_IUnknown), u"{00000000-0000-0000-C000-000000000046}");
    EXPECT_EQ(textOf(IID_IClassFactory), u"{00000001-0000-0000-C000-000000000046}");
    EXPECT_EQ(textOf(IID_IDataObject), u"{0000010E-0000-0000-C000-000000000046}");
    EXPECT_EQ(textOf(IID_IShellExtInit), u"{000214E8-0000-0000-C000-000000000046}");
    EXPECT_EQ(textOf(IID_IContextMenu), u"{000214E4-0000-0000-C000-000000000046}");
    EXPECT_EQ(textOf(IID_IMalloc), u"{00000002-0000-0000-C000-000000000046}");
}

TEST(GuidText, StringFromGuid2NeedsRoomForTheTerminator) {
    OLECHAR buf[39];
    std::fill(std::begin(buf), std::end(buf), u'x');
    EXPECT_EQ(StringFromGUID2(kExtension, buf, 38), 0);
    EXPECT_EQ(buf[0], u'x') << "nothing written when it does not fit";
    EXPECT_EQ(StringFromGUID2(kExtension, buf, 39), 39);
    EXPECT_EQ(std::u16string(buf), u"{87B9BD00-C65C-11CD-A259-00DD010E8C28}");
}

TEST(GuidText, ClsidFromStringReadsEitherCase) {
    CLSID parsed{};
    EXPECT_EQ(CLSIDFromString(u"{87b9bd00-c65c-11cd-a259-00dd010e8c28}", &parsed), NOERROR);
    EXPECT_TRUE(IsEqualCLSID(parsed, kExtension));
    CLSID upper{};
    EXPECT_EQ(CLSIDFromString(u"{87B9BD00-C65C-11CD-A259-00DD010E8C28}", &upper), NOERROR);
    EXPECT_TRUE(upper == kExtension);
    IID iid{};
    EXPECT_EQ(IIDFromString(u"{000214E4-0000-0000-C000-000000000046}", &iid), S_OK);
    EXPECT_TRUE(IsEqualIID(iid, IID_IContextMenu));
    EXPECT_FALSE(IsEqualIID(iid, IID_IShellExtInit));
}

TEST(GuidText, MalformedTextIsRefusedAndLeavesTheOutputAlone) {
    const char16_t* bad[] = {
        u"87b9bd00-c65c-11cd-a259-00dd010e8c28",     // no braces
        u"{87b9bd00-c65c-11cd-a259-00dd010e8c2}",    // one digit short
        u"{87b9bd00-c65c-11cd-a259-00dd010e8c288}",  // one digit more
        u"{87b9bd00-c65c-11cd-a259-00dd010e8c28}x",  // trailing text
        u"{87b9bd00-c65c-11cd-a259-00dd010e8cg8}",   // not hexadecimal
        u"{87b9bd00c65c-11cd-a259-00dd010e8c28-}",   // dash misplaced
        u"{",                                        // stops at the terminator
        u"",
        u"VaultineExtension",  // program identifiers are not looked up
    };
    for (const char16_t* text : bad) {
        CLSID out = kExtension;
        EXPECT_EQ(CLSIDFromString(text, &out), CO_E_CLASSSTRING);
        EXPECT_TRUE(out == kExtension);
    }
    EXPECT_EQ(CLSIDFromString(u"{87b9bd00-c65c-11cd-a259-00dd010e8c28}", nullptr), E_INVALIDARG);
}

TEST(GuidText, RoundTripThroughText) {
    const GUID samples[] = {kExtension, IID_IDataObject,
                            GUID{0xFFFFFFFF, 0xFFFF, 0, {0, 1, 2, 3, 0xFC, 0xFD, 0xFE, 0xFF}}};
    for (const GUID& g : samples) {
        OLECHAR buf[39];
        ASSERT_EQ(StringFromGUID2(g, buf, 39), 39);
        GUID back{};
        ASSERT_EQ(CLSIDFromString(buf, &back), NOERROR);
        EXPECT_TRUE(IsEqualGUID(back, g));
    }
}

}  // namespace
}  // namespace vlt::test
