// .reg files: parsing both formats and encodings, writing them as regedit does, importing and
// exporting key trees.
#include <iconv.h>
#include <sys/stat.h>

#include <algorithm>

#include "registry/hives.h"
#include "registry/nls.h"
#include "registry/regtext.h"
#include "registry_test.h"

namespace vlt::test {
namespace {

using registry::RegTextEntry;
using registry::RegTextFormat;
using registry::RegTextValue;

// glibc's converter, an implementation independent of the one under test.
std::string convert(const char* to, const char* from, const std::string& in) {
    iconv_t cd = iconv_open(to, from);
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string out(in.size() * 4 + 16, '\0');
    char* inp = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char* outp = out.data();
    size_t outLeft = out.size();
    EXPECT_NE(iconv(cd, &inp, &inLeft, &outp, &outLeft), static_cast<size_t>(-1));
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

std::string crlf(const std::string& lf) {
    std::string out;
    for (char c : lf) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string utf16File(const std::string& utf8) { return "\xFF\xFE" + convert("UTF-16LE", "UTF-8", crlf(utf8)); }

RegTextValue value(const std::string& name, DWORD type, const std::string& data) {
    RegTextValue v;
    v.name = name;
    v.type = type;
    v.data = data;
    return v;
}

const std::string kSample =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "; a comment\n"
    "[HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00\\Settings]\n"
    "\"Path\"=\"C:\\\\Program Files\\\\VLT \\\"1.00\\\"\"\n"
    "\"Accent\"=\"caf\xC3\xA9\"\n"
    "@=\"default\"\n"
    "\"Encrypt\" = dword:00006602 ; RC2\n"
    "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
    "  16,17,18,19,1A\n"
    "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\n"
    "\"Multi\"=hex(7):61,00,00,00,e9,00,00,00,00,00\n"
    "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\n"
    "\"TempExchangeBlob\"=-\n"
    "\n"
    "[-HKEY_LOCAL_MACHINE\\Software\\Old]\n"
    "\n"
    "[HKLM\\SOFTWARE\\Short]\n"
    "\"\"=\"empty name is the default\"\n";

std::vector<RegTextEntry> sampleEntries() {
    RegTextEntry a;
    a.root = HKEY_CURRENT_USER;
    a.path = "Software\\Quillon Softworks\\Vaultine\\1.00\\Settings";
    a.values = {value("Path", REG_SZ, std::string("C:\\Program Files\\VLT \"1.00\"\0", 28)),
                value("Accent", REG_SZ, std::string("caf\xE9\0", 5)),
                value("", REG_SZ, std::string("default\0", 8)),
                value("Encrypt", REG_DWORD, std::string("\x02\x66\0\0", 4)),
                value("Blob", REG_BINARY, std::string("\0\1\2\3\4\5\6\7\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f"
                                                      "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a",
                                                      27)),
                value("Expand", REG_EXPAND_SZ, std::string("%A%\0", 4)),
                value("Multi", REG_MULTI_SZ, std::string("a\0\xE9\0\0", 5)),
                value("Qword", REG_QWORD, std::string("\1\0\0\0\0\0\0\0", 8)),
                value("TempExchangeBlob", REG_NONE, "")};
    a.values.back().remove = true;
    RegTextEntry b;
    b.root = HKEY_LOCAL_MACHINE;
    b.path = "Software\\Old";
    b.removeKey = true;
    RegTextEntry c;
    c.root = HKEY_LOCAL_MACHINE;
    c.path = "SOFTWARE\\Short";
    c.values = {value("", REG_SZ, std::string("empty name is the default\0", 26))};
    return {a, b, c};
}

using RegTextParse = RegistryTest;

TEST_F(RegTextParse, Version5InUtf16WithEveryKindOfEntry) {
    auto parsed = registry::parseRegText(utf16File(kSample), 1252);
    ASSERT_TRUE(parsed) << parsed.error().message;
    EXPECT_EQ(*parsed, sampleEntries());
    // Entries remember their lines; a continuation counts.
    ASSERT_EQ(parsed->size(), 3u);
    EXPECT_EQ((*parsed)[0].line, 4u);
    EXPECT_EQ((*parsed)[0].values[4].line, 9u);
    EXPECT_EQ((*parsed)[0].values[5].line, 11u);
    EXPECT_EQ((*parsed)[2].line, 18u);
}

TEST_F(RegTextParse, Version5InUtf8WithOrWithoutBomAndEitherLineEnd) {
    for (const std::string& text : {kSample, crlf(kSample), "\xEF\xBB\xBF" + kSample}) {
        auto parsed = registry::parseRegText(text, 1252);
        ASSERT_TRUE(parsed) << parsed.error().message;
        EXPECT_EQ(*parsed, sampleEntries());
    }
}

TEST_F(RegTextParse, Regedit4IsAnsiAndItsStringDataIsNotUtf16) {
    const std::string text =
        "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\Vtffile]\r\n@=\"Caf\xE9 file\"\r\n"
        "\"Expand\"=hex(2):25,41,25,00\r\n";
    auto parsed = registry::parseRegText(text, 1252);
    ASSERT_TRUE(parsed) << parsed.error().message;
    ASSERT_EQ(parsed->size(), 1u);
    EXPECT_EQ((*parsed)[0].root, HKEY_CLASSES_ROOT);
    EXPECT_EQ((*parsed)[0].values, (std::vector<RegTextValue>{value("", REG_SZ, std::string("Caf\xE9 file\0", 10)),
                                                              value("Expand", REG_EXPAND_SZ, std::string("%A%\0", 4))}));

    // With a UTF-8 mark the text is Unicode and converted.
    auto marked = registry::parseRegText("\xEF\xBB\xBFREGEDIT4\n[HKCU\\A]\n@=\"Caf\xC3\xA9\"\n", 1252);
    ASSERT_TRUE(marked) << marked.error().message;
    EXPECT_EQ((*marked)[0].values[0].data, std::string("Caf\xE9\0", 5));
}

TEST_F(RegTextParse, StringsGoToTheCodePageGiven) {
    const std::string text = "Windows Registry Editor Version 5.00\n[HKCU\\A]\n\"v\"=\"\xD0\x96\"\n";
    auto cp1251 = registry::parseRegText(text, 1251);
    ASSERT_TRUE(cp1251) << cp1251.error().message;
    EXPECT_EQ((*cp1251)[0].values[0].data, std::string("\xC6\0", 2));
    auto cp1252 = registry::parseRegText(text, 1252);
    ASSERT_FALSE(cp1252);
    EXPECT_EQ(cp1252.error().code, static_cast<std::uint32_t>(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(cp1252.error().message.rfind("line 3:", 0), 0u) << cp1252.error().message;
}

TEST_F(RegTextParse, MalformedFilesAreRefusedNamingTheLine) {
    const std::string v5 = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n";
    const struct {
        std::string text;
        unsigned line;
    } cases[] = {
        {"REGEDIT5\n[HKCU\\A]\n", 1},
        {"", 1},
        {"Windows Registry Editor Version 5.00\n\"v\"=\"x\"\n", 2},
        {v5 + "\"v\"=hex:01,zz\n", 4},
        {v5 + "\"v\"=hex:01,,02\n", 4},
        {v5 + "\"v\"=hex:123\n", 4},
        {v5 + "\"v\"=hex:01,\\\n", 4},
        {v5 + "\"v\"=dword:123456789\n", 4},
        {v5 + "\"v\"=dword:\n", 4},
        {v5 + "\"v\"=\"unterminated\n", 4},
        {v5 + "\"v\"=\"bad \\q escape\"\n", 4},
        {v5 + "\"v\"=\"x\" trailing\n", 4},
        {v5 + "\"v\"\n", 4},
        {v5 + "\"v\"=word:1\n", 4},
        {v5 + "\"v\"=hex(2):41\n", 4},
        {v5 + "\"v\"=hex(zz):41\n", 4},
        {v5 + "\n\n[HKEY_USERS\\X]\n", 6},
        {v5 + "[HKCU\\A\\\\B]\n", 4},
        {v5 + "[HKCU\\A\n", 4},
        {v5 + "[-HKCU\\A]\n\"v\"=\"x\"\n", 5},
        {v5 + "garbage\n", 4},
        {v5 + "\"v\"=\"\xC3\"\n", 4},
        {v5 + std::string("\"v\"=\"a\0b\"\n", 10), 4},
    };
    for (const auto& c : cases) {
        auto parsed = registry::parseRegText(c.text, 1252);
        ASSERT_FALSE(parsed) << c.text;
        EXPECT_EQ(parsed.error().message.rfind("line " + std::to_string(c.line) + ":", 0), 0u)
            << c.text << " -> " << parsed.error().message;
    }
    // Bad UTF-16 names its line too.
    std::string broken = utf16File(v5);
    broken += std::string("\x00\xDC", 2);  // an unpaired low surrogate on line 4
    auto parsed = registry::parseRegText(broken, 1252);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.error().message.rfind("line 4:", 0), 0u) << parsed.error().message;
    EXPECT_FALSE(registry::parseRegText("\xFE\xFF\0R", 1252));
}

using RegTextFormatting = RegistryTest;

// What regedit writes for this key, by hand.
const char* const kSettingsUtf8 =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00\\Settings]\n"
    "\"Encrypt\"=dword:00006602\n"
    "\"Name\"=\"C:\\\\Temp \\\"x\\\" \xC3\xA9\"\n"
    "\"Blob\"=hex:01,02,ff\n"
    "@=\"d\"\n"
    "\"Expand\"=hex(2):25,00,e9,00,25,00,00,00\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00\\Settings\\Sub]\n"
    "\"Empty\"=hex:\n"
    "\"Raw\"=hex(1):61,00,62,00\n"
    "\n";

void makeSettings(HKEY& key) {
    key = RegistryTest::create(HKEY_CURRENT_USER, "Software\\Quillon Softworks\\Vaultine\\1.00\\Settings");
    ASSERT_EQ(RegistryTest::set(key, "Encrypt", REG_DWORD, std::string("\x02\x66\0\0", 4)), ERROR_SUCCESS);
    ASSERT_EQ(RegistryTest::set(key, "Name", REG_SZ, std::string("C:\\Temp \"x\" \xE9\0", 14)), ERROR_SUCCESS);
    ASSERT_EQ(RegistryTest::set(key, "Blob", REG_BINARY, "\x01\x02\xff"), ERROR_SUCCESS);
    ASSERT_EQ(RegistryTest::set(key, nullptr, REG_SZ, std::string("d\0", 2)), ERROR_SUCCESS);
    ASSERT_EQ(RegistryTest::set(key, "Expand", REG_EXPAND_SZ, std::string("%\xE9%\0", 4)), ERROR_SUCCESS);
    HKEY sub = RegistryTest::create(key, "Sub");
    ASSERT_EQ(RegistryTest::set(sub, "Empty", REG_BINARY, ""), ERROR_SUCCESS);
    ASSERT_EQ(RegistryTest::set(sub, "Raw", REG_SZ, "ab"), ERROR_SUCCESS);  // no terminator: not a string
    RegCloseKey(sub);
}

TEST_F(RegTextFormatting, ExportWritesWhatRegeditWrites) {
    HKEY key = nullptr;
    makeSettings(key);
    RegCloseKey(key);
    const char* path = "software\\quillon softworks\\vaultine\\1.00\\settings";  // spelt as stored on export

    auto utf8 = registry::exportRegText(HKEY_CURRENT_USER, path, RegTextFormat::Version5Utf8);
    ASSERT_TRUE(utf8) << utf8.error().message;
    EXPECT_EQ(*utf8, kSettingsUtf8);

    auto v5 = registry::exportRegText(HKEY_CURRENT_USER, path, RegTextFormat::Version5Utf16);
    ASSERT_TRUE(v5) << v5.error().message;
    ASSERT_GE(v5->size(), 2u);
    EXPECT_EQ(v5->substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(convert("UTF-8", "UTF-16LE", v5->substr(2)), crlf(kSettingsUtf8));

    auto v4 = registry::exportRegText(HKEY_CURRENT_USER, path, RegTextFormat::Regedit4);
    ASSERT_TRUE(v4) << v4.error().message;
    std::string expected4 = crlf(kSettingsUtf8);
    expected4.replace(0, std::string("Windows Registry Editor Version 5.00").size(), "REGEDIT4");
    expected4.replace(expected4.find("\xC3\xA9"), 2, "\xE9");
    expected4.replace(expected4.find("hex(2):25,00,e9,00,25,00,00,00"), 30, "hex(2):25,e9,25,00");
    expected4.replace(expected4.find("hex(1):61,00,62,00"), 18, "hex(1):61,62");
    EXPECT_EQ(*v4, expected4);
}

TEST_F(RegTextFormatting, LongBinaryWrapsAtEightyColumns) {
    RegTextEntry e;
    e.path = "Software\\Quillon Softworks\\Vaultine\\1.00\\Profile";
    e.values = {value("ExchangeBlob2", REG_BINARY, std::string(200, '\x77'))};
    auto text = registry::formatRegText({e}, RegTextFormat::Version5Utf8, 1252);
    ASSERT_TRUE(text) << text.error().message;
    std::vector<std::string> lines;
    for (size_t at = 0; at < text->size();) {
        const auto nl = text->find('\n', at);
        lines.push_back(text->substr(at, nl - at));
        at = nl + 1;
    }
    size_t bytes = 0;
    bool inValue = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.rfind("\"ExchangeBlob2\"=hex:", 0) == 0) inValue = true;
        if (!inValue) continue;
        EXPECT_LE(l.size(), 80u) << l;
        bytes += static_cast<size_t>(std::count(l.begin(), l.end(), '7')) / 2;  // "77" per byte
        if (l.back() != '\\') {
            inValue = false;
            continue;
        }
        EXPECT_EQ(l.substr(l.size() - 2), ",\\");
        EXPECT_EQ(lines[i + 1].substr(0, 2), "  ");
    }
    EXPECT_EQ(bytes, 200u);
    // A full continuation line holds 25 bytes, as regedit's do.
    EXPECT_EQ(std::count(lines[4].begin(), lines[4].end(), ','), 25);
    auto back = registry::parseRegText(*text, 1252);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, std::vector<RegTextEntry>{e});
}

TEST_F(RegTextFormatting, RefusesWhatAFormatCannotHold) {
    RegTextEntry e;
    e.path = "Software\\A";
    // 0x81 is undefined in Windows-1252: it has no Unicode spelling, but REGEDIT4 keeps it.
    e.values = {value("v", REG_SZ, std::string("\x81\0", 2))};
    auto v5 = registry::formatRegText({e}, RegTextFormat::Version5Utf16, 1252);
    ASSERT_FALSE(v5);
    EXPECT_EQ(v5.error().code, static_cast<std::uint32_t>(ERROR_NO_UNICODE_TRANSLATION));
    auto v4 = registry::formatRegText({e}, RegTextFormat::Regedit4, 1252);
    ASSERT_TRUE(v4) << v4.error().message;
    auto back = registry::parseRegText(*v4, 1252);
    ASSERT_TRUE(back) << back.error().message;
    EXPECT_EQ(*back, std::vector<RegTextEntry>{e});

    e.values = {value("two\nlines", REG_BINARY, "")};
    EXPECT_FALSE(registry::formatRegText({e}, RegTextFormat::Regedit4, 1252));
}

using RegTextImport = RegistryTest;

// A tree with every kind of value, subkeys created out of alphabetical order, and names that
// need escaping.
void makeTree() {
    HKEY settings = nullptr;
    makeSettings(settings);
    HKEY deep = RegistryTest::create(settings, "Zeta\\Alpha\\Mid");
    ASSERT_EQ(RegistryTest::set(deep, "quote\"and\\slash", REG_MULTI_SZ, std::string("x\0y\0\0", 5)), ERROR_SUCCESS);
    ASSERT_EQ(RegistryTest::set(deep, "big", REG_BINARY, std::string(1000, '\xA5')), ERROR_SUCCESS);
    ASSERT_EQ(RegistryTest::set(deep, "short dword", REG_DWORD, "\1\2"), ERROR_SUCCESS);
    ASSERT_EQ(RegistryTest::set(deep, "type 0x1234", 0x1234, "odd"), ERROR_SUCCESS);
    RegCloseKey(deep);
    RegCloseKey(RegistryTest::create(settings, "Beta"));
    RegCloseKey(settings);
}

TEST_F(RegTextImport, ExportThenImportReproducesTheTreeInEveryFormat) {
    const std::string path = "Software\\Quillon Softworks\\Vaultine\\1.00\\Settings";
    makeTree();
    auto original = registry::readRegTree(HKEY_CURRENT_USER, path);
    ASSERT_TRUE(original) << original.error().message;
    ASSERT_EQ(original->size(), 6u);

    for (auto format : {RegTextFormat::Version5Utf16, RegTextFormat::Version5Utf8, RegTextFormat::Regedit4}) {
        auto exported = registry::exportRegText(HKEY_CURRENT_USER, path, format);
        ASSERT_TRUE(exported) << exported.error().message;

        // The text itself round-trips byte for byte.
        auto parsed = registry::parseRegText(*exported);
        ASSERT_TRUE(parsed) << parsed.error().message;
        EXPECT_EQ(*parsed, *original);
        auto again = registry::formatRegText(*parsed, format);
        ASSERT_TRUE(again) << again.error().message;
        EXPECT_EQ(*again, *exported);

        // And the hive: delete the tree, import, compare.
        ASSERT_TRUE(registry::importRegText("REGEDIT4\n[-HKEY_CURRENT_USER\\" + path + "]\n"));
        HKEY gone = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
        auto imported = registry::importRegText(*exported);
        ASSERT_TRUE(imported) << imported.error().message;
        auto reread = registry::readRegTree(HKEY_CURRENT_USER, path);
        ASSERT_TRUE(reread) << reread.error().message;
        EXPECT_EQ(*reread, *original);
    }
}

TEST_F(RegTextImport, AppliesValuesAndDeletions) {
    HKEY old = create(HKEY_LOCAL_MACHINE, "Software\\Old\\Child\\Grandchild");
    RegCloseKey(old);
    HKEY settings = create(HKEY_CURRENT_USER, "Software\\Quillon Softworks\\Vaultine\\1.00\\Settings");
    ASSERT_EQ(set(settings, "TempExchangeBlob", REG_BINARY, "stale"), ERROR_SUCCESS);
    RegCloseKey(settings);

    auto done = registry::importRegText(utf16File(kSample));
    ASSERT_TRUE(done) << done.error().message;

    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Old", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quillon Softworks\\Vaultine\\1.00\\Settings", 0, KEY_READ,
                            &key),
              ERROR_SUCCESS);
    EXPECT_EQ(valueNames(key), (std::vector<std::string>{"Path", "Accent", "", "Encrypt", "Blob", "Expand", "Multi",
                                                         "Qword"}));
    DWORD type = 0;
    EXPECT_EQ(get(key, "Accent", nullptr, &type), std::string("caf\xE9\0", 5));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(get(key, "Expand", nullptr, &type), std::string("%A%\0", 4));
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Short", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(get(key, nullptr), std::string("empty name is the default\0", 26));
    RegCloseKey(key);

    // Deleting again what is already gone is no error.
    EXPECT_TRUE(registry::importRegText(utf16File(kSample)));
}

TEST_F(RegTextImport, MalformedFileChangesNothing) {
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00\\Profile]\r\n"
        "\"InitUser\"=dword:00000001\r\n"
        "\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Keep]\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Later]\r\n"
        "\"Broken\"=hex:01,02,0g\r\n";
    RegCloseKey(create(HKEY_CURRENT_USER, "Software\\Keep"));
    auto done = registry::importRegText(text);
    ASSERT_FALSE(done);
    EXPECT_EQ(done.error().message.rfind("line 9:", 0), 0u) << done.error().message;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quillon Softworks", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Keep", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(RegTextImport, ReadOnlyHiveIsRefusedBeforeAnythingChanges) {
    RegCloseKey(create(HKEY_LOCAL_MACHINE, "SOFTWARE"));
    ASSERT_EQ(chmod((sandbox.machine() + "/machine.db").c_str(), 0444), 0);
    const std::string text =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\First]\n\"v\"=\"x\"\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quillon Softworks\\Vaultine\\1.00\\Certificate]\n\"Jane\"=hex:01\n";
    auto done = registry::importRegText(text);
    ASSERT_FALSE(done);
    EXPECT_EQ(done.error().code, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(done.error().message.rfind("line 6:", 0), 0u) << done.error().message;
    EXPECT_TRUE(subkeyNames(HKEY_CURRENT_USER).empty());
}

TEST_F(RegTextImport, FailureWhileApplyingNamesTheLine) {
    const std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\" + std::string(300, 'k') + "]\n";
    auto done = registry::importRegText(text);
    ASSERT_FALSE(done);
    EXPECT_EQ(done.error().code, static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(done.error().message.rfind("line 3:", 0), 0u) << done.error().message;
}

TEST_F(RegTextImport, ExportIncludesVolatileValues) {
    const std::string path = "Software\\Quillon Softworks\\Vaultine\\1.00\\ExportVolatile";
    registry::declareVolatileValue(HKEY_CURRENT_USER, path, "TempExchangeBlob1");
    HKEY key = create(HKEY_CURRENT_USER, path);
    ASSERT_EQ(set(key, "ExchangeBlob1", REG_BINARY, "record"), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "TempExchangeBlob1", REG_BINARY, "cache"), ERROR_SUCCESS);
    RegCloseKey(key);
    auto entries = registry::readRegTree(HKEY_CURRENT_USER, path);
    ASSERT_TRUE(entries) << entries.error().message;
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ((*entries)[0].values, (std::vector<RegTextValue>{value("ExchangeBlob1", REG_BINARY, "record"),
                                                               value("TempExchangeBlob1", REG_BINARY, "cache")}));
    auto missing = registry::exportRegText(HKEY_CURRENT_USER, "Software\\Nothing", RegTextFormat::Regedit4);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

using CodePage = RegistryTest;

TEST_F(CodePage, ComesFromTheMachinesNlsKey) {
    EXPECT_EQ(registry::activeCodePage(), 1252u);
    auto ansi = registry::toAnsi("caf\xC3\xA9");
    ASSERT_TRUE(ansi);
    EXPECT_EQ(*ansi, "caf\xE9");

    HKEY nls = create(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage");
    ASSERT_EQ(set(nls, "ACP", REG_SZ, std::string("1251\0", 5)), ERROR_SUCCESS);
    EXPECT_EQ(registry::activeCodePage(), 1251u);
    ansi = registry::toAnsi("\xD0\x96");
    ASSERT_TRUE(ansi);
    EXPECT_EQ(*ansi, "\xC6");
    EXPECT_EQ(registry::fromAnsi("\xC6"), "\xD0\x96");
    EXPECT_FALSE(registry::toAnsi("\xCE\xA9"));  // Omega is not in 1251

    // Imports follow it.
    ASSERT_TRUE(registry::importRegText("Windows Registry Editor Version 5.00\n[HKCU\\A]\n\"v\"=\"\xD0\x96\"\n"));
    HKEY a = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &a), ERROR_SUCCESS);
    EXPECT_EQ(get(a, "v"), std::string("\xC6\0", 2));
    RegCloseKey(a);

    // Anything that is not a supported single-byte code page means Windows-1252.
    for (const std::string& acp : {std::string("65001\0", 6), std::string("12x1\0", 5), std::string()}) {
        ASSERT_EQ(set(nls, "ACP", REG_SZ, acp), ERROR_SUCCESS);
        EXPECT_EQ(registry::activeCodePage(), 1252u);
    }
    RegCloseKey(nls);
}

}  // namespace
}  // namespace vlt::test

namespace vlt::test {
namespace {

TEST(RootPath, SplitsRootFromPath) {
    auto a = registry::splitRootPath("HKEY_CURRENT_USER\\Software\\Quillon Softworks\\Vaultine\\1.00\\Profile\\");
    ASSERT_TRUE(a) << a.error().message;
    EXPECT_EQ(a->first, HKEY_CURRENT_USER);
    EXPECT_EQ(a->second, "Software\\Quillon Softworks\\Vaultine\\1.00\\Profile");
    auto b = registry::splitRootPath("hklm");
    ASSERT_TRUE(b) << b.error().message;
    EXPECT_EQ(b->first, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(b->second, "");
    auto c = registry::splitRootPath("HKCR\\CLSID");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->first, HKEY_CLASSES_ROOT);
    auto users = registry::splitRootPath("HKEY_USERS\\.DEFAULT");
    ASSERT_FALSE(users);
    EXPECT_EQ(users.error().code, static_cast<std::uint32_t>(ERROR_BADKEY));
    auto empty = registry::splitRootPath("HKCU\\A\\\\B");
    ASSERT_FALSE(empty);
    EXPECT_EQ(empty.error().code, static_cast<std::uint32_t>(ERROR_BAD_PATHNAME));
}

}  // namespace
}  // namespace vlt::test
