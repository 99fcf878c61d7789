// The layer under the program: code page 932, INI files, file tests, paths.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "app/myEtcModule.h"
#include "platform/cp932.h"
#include "platform/paths.h"
#include "platform/places.h"
#include "platform/profile.h"
#include "platform/system.h"
#include "tests/support/tempDir.h"

using namespace platform;

TEST(Cp932Test, ConvertsBothWays)
{
    EXPECT_EQ(utf8ToCp932("Aあ漢ｱ\r\n"), "A\x82\xa0\x8a\xbf\xb1\r\n");
    EXPECT_EQ(cp932ToUtf8("A\x82\xa0\x8a\xbf\xb1\r\n"), "Aあ漢ｱ\r\n");
    EXPECT_EQ(fromCp932("\x81\x5f"), u"\uFF3C") << "the full-width backslash of the code page";
    EXPECT_EQ(toCp932(u"①"), "\x87\x40");
    EXPECT_EQ(toCp932(u"\u2252"), "\x81\xe0") << "of two codes for one character, the one the code page prefers";
}

TEST(Cp932Test, RoundTripAsThroughUtf16)
{
    // Every pair of bytes, and each lead byte left alone at the end.
    for (int b = 0; b < 0x10000; ++b) {
        const char pair[] = {static_cast<char>(b >> 8), static_cast<char>(b & 0xFF)};
        for (std::string_view bytes : {std::string_view(pair, 2), std::string_view(pair + 1, 1)})
            ASSERT_EQ(cp932RoundTrip(bytes), toCp932(fromCp932(bytes))) << b;
    }
}

TEST(Cp932Test, CharactersWithoutAFormBecomeQuestionMarks)
{
    EXPECT_EQ(utf8ToCp932("¥é😀"), "???");
    EXPECT_EQ(toCp932(u"\U0001F600x"), "?x") << "a surrogate pair is one character";
    EXPECT_FALSE(hasCp932Form(0xA5));
    EXPECT_TRUE(hasCp932Form(0x3042));
    EXPECT_EQ(cp932ToUtf8("\x82"), "?") << "a lone lead byte";
    EXPECT_EQ(cp932ToUtf8("\x80\xa0\xfd"), "???");
}

TEST(Cp932Test, TextOfACharacterTakesItsJisOrCompatibilityForm)
{
    const std::pair<char32_t, std::string> cases[] = {
        {U'A', "A"},         {U'ｱ', "\xb1"},      {U'あ', "\x82\xa0"},  {0, std::string(1, '\0')}, // own forms
        {U'¢', "\x81\x91"}, {U'〜', "\x81\x60"}, {U'−', "\x81\x7c"}, {U'—', "\x81\x5c"},       // JIS forms
        {U'ﬃ', "ffi"},       {U'㎢', "km2"},       {U'⑴', "(1)"},        {U'\uFE19', "\x81\x63"},    // ﬃ ㎢ ⑴ vertical …
        {U'\u207B', "\x81\x7c"},                                                                     // superscript −
        {U'é', ""},          {U'\uFDFA', ""},     {U'😀', ""},           {0xD800, ""},                // none
    };
    for (const auto& [c, text] : cases)
        EXPECT_EQ(cp932TextOf(c), text) << static_cast<unsigned>(c);
}

// Text as a whole converts as its characters one by one would, across
// runs of ASCII long and short, kana and kanji, forms of several bytes,
// NUL and damaged UTF-8 (which writes nothing).
TEST(Cp932Test, TextConvertsAsItsCharacters)
{
    const std::u32string chars = U"Long ASCII run of text\r\nあ漢x〜yｱﬃ㎢\u00a2é\u00e9 short Aあい12345678漢字z";
    std::string expected;
    for (char32_t c : chars)
        expected += cp932TextOf(c);
    EXPECT_EQ(utf8ToCp932Text(utf16ToUtf8(std::u16string(chars.begin(), chars.end()))), expected);
    EXPECT_EQ(utf8ToCp932Text(std::string("a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(utf8ToCp932Text("x\x80y\xed\xa0\xbd\xed\xb8\x80z\xe3\x81"), "xyz");
}

TEST(Cp932Test, SingleBytesOnTheirOwn)
{
    EXPECT_EQ(cp932SingleByte(0x41), U'A');
    EXPECT_EQ(cp932SingleByte(0x00), U'\0');
    EXPECT_EQ(cp932SingleByte(0xA1), U'\uFF61');
    EXPECT_EQ(cp932SingleByte(0xDF), U'\uFF9F');
    for (int b : {0x80, 0x81, 0x9F, 0xA0, 0xE0, 0xFF})
        EXPECT_EQ(cp932SingleByte(static_cast<uint8_t>(b)), kNoCharacter) << b;
}

TEST(Cp932Test, Utf16RoundTrip)
{
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16("a😀ｶ")), "a😀ｶ");
}

TEST(TickCountTest, DifferencesAreTakenModulo2To32)
{
    uint32_t before = 0xFFFFFF00u, after = 0x00000010u;
    EXPECT_EQ(after - before, 0x110u);
    uint32_t a = tickCount();
    EXPECT_LE(tickCount() - a, 1000u);
}

TEST(ProgramFolderTest, IsTheFolderOfTheTestExecutable)
{
    EXPECT_TRUE(isDirectory(programFolder()));
    EXPECT_TRUE(findFile(programFolder() + "/AdobeCID.dat"));
}

TEST(PlacesTest, SettingsLeaveTheProgramFolderWhenInstalledOrReadOnly)
{
    struct Row {
        bool installed, writable;
        const char *xdg, *home, *folder;
    };
    const Row rows[] = {
        {false, true, "/x", "/h", "/p"},                  // the build tree or a copied folder
        {true, true, "/x", "/h", "/x/Scrivlet"},          // installed, even when root could write there
        {false, false, "", "/h", "/h/.config/Scrivlet"},  // a folder the user cannot write
        {true, true, "x", "/h", "/h/.config/Scrivlet"},   // a relative XDG_CONFIG_HOME is ignored
        {true, false, "", "", "/p"},                      // no home folder at all
    };
    for (const Row& r : rows)
        EXPECT_EQ(settingsFolder("/p", SettingsPlace{r.installed, r.writable, r.xdg, r.home}), r.folder)
            << r.installed << r.writable << r.xdg << r.home;
}

TEST(PlacesTest, AnInstallationIsKnownByItsDataFolder)
{
    TempDir root;
    std::string bin = root.file("bin"), data = bin + "/" + kDataFromProgramFolder;
    std::filesystem::create_directory(bin);
    EXPECT_EQ(dataFolder(bin), bin);
    EXPECT_EQ(settingsFolder(bin), bin);

    std::filesystem::create_directories(data);
    EXPECT_EQ(dataFolder(bin), data);
    ScopedEnv xdg("XDG_CONFIG_HOME", root.file("config"));
    std::string settings = settingsFolder(bin);
    EXPECT_EQ(settings, root.file("config/Scrivlet"));
    EXPECT_TRUE(makeSettingsFolder(settings));
    struct stat st{};
    ASSERT_EQ(stat(root.file("config").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(makeSettingsFolder(settings)) << "an existing folder is fine";
}

class ProfileTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string ini = dir.file("Scrivlet.ini");
};

TEST_F(ProfileTest, MissingFileSectionOrKeyReadsEmpty)
{
    EXPECT_EQ(readProfileString(ini, "envs", "CRLF"), "");
    dir.write("Scrivlet.ini", "[envs]\r\nCRLF=True\r\n");
    EXPECT_EQ(readProfileString(ini, "other", "CRLF"), "");
    EXPECT_EQ(readProfileString(ini, "envs", "OWConfirm"), "");
    EXPECT_EQ(readProfileString(ini, "ENVS", "crlf"), "True") << "names match in any letter case";
}

TEST_F(ProfileTest, BooleansAreTheExactWordTrue)
{
    dir.write("Scrivlet.ini", "[envs]\r\na=True\r\nb=true\r\nc=TRUE\r\nd=1\r\ne=False\r\n");
    EXPECT_TRUE(readProfileBool(ini, "envs", "a"));
    for (const char* k : {"b", "c", "d", "e", "missing"})
        EXPECT_FALSE(readProfileBool(ini, "envs", k)) << k;
    writeProfileBool(ini, "envs", "f", true);
    writeProfileBool(ini, "envs", "g", false);
    EXPECT_TRUE(readProfileBool(ini, "envs", "f"));
    EXPECT_FALSE(readProfileBool(ini, "envs", "g"));
    EXPECT_EQ(readProfileString(ini, "envs", "g"), "False");
}

TEST_F(ProfileTest, ValuesAreCutAt255Bytes)
{
    writeProfileString(ini, "headfoot", "format0", std::string(255, 'x'));
    EXPECT_EQ(readProfileString(ini, "headfoot", "format0"), std::string(255, 'x'));
    writeProfileString(ini, "headfoot", "format0", std::string(300, 'y'));
    EXPECT_EQ(readProfileString(ini, "headfoot", "format0"), std::string(255, 'y'));
    // 128 single bytes and then kanji: the cut falls inside a double-byte character.
    writeProfileString(ini, "headfoot", "format1", std::string(128, 'z') + "漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字漢字");
    std::string v = readProfileString(ini, "headfoot", "format1");
    EXPECT_EQ(utf8ToCp932(v).size(), 254u);
}

TEST_F(ProfileTest, ValuesAreStoredInCodePage932)
{
    writeProfileString(ini, "headfoot", "format0", "ページ%P");
    EXPECT_EQ(readFile(ini), "[headfoot]\r\nformat0=\x83y\x81[\x83W%P\r\n");
    EXPECT_EQ(readProfileString(ini, "headfoot", "format0"), "ページ%P");
}

TEST_F(ProfileTest, WritingChangesOnlyTheKeysLine)
{
    std::string original = "; settings\r\n[envs]\r\nOWConfirm = False\r\nCRLF=True\r\n\r\n[other]\r\nx=1\r\n";
    dir.write("Scrivlet.ini", original);
    writeProfileString(ini, "envs", "OWConfirm", "True");
    EXPECT_EQ(readFile(ini), "; settings\r\n[envs]\r\nOWConfirm=True\r\nCRLF=True\r\n\r\n[other]\r\nx=1\r\n");
    writeProfileString(ini, "envs", "subFolder", "True");
    EXPECT_EQ(readFile(ini),
              "; settings\r\n[envs]\r\nOWConfirm=True\r\nCRLF=True\r\nsubFolder=True\r\n\r\n[other]\r\nx=1\r\n");
    writeProfileString(ini, "headfoot", "use0", "True");
    EXPECT_EQ(readFile(ini), "; settings\r\n[envs]\r\nOWConfirm=True\r\nCRLF=True\r\nsubFolder=True\r\n\r\n[other]\r\n"
                             "x=1\r\n[headfoot]\r\nuse0=True\r\n");
}

TEST_F(ProfileTest, StrayCarriageReturnsAtALineEndAreNotPartOfTheValue)
{
    dir.write("Scrivlet.ini", "[envs]\r\nCRLF=True\r\r");
    EXPECT_EQ(readProfileString(ini, "envs", "CRLF"), "True");
    writeProfileString(ini, "envs", "subFolder", "False");
    EXPECT_EQ(readProfileString(ini, "envs", "CRLF"), "True");
    EXPECT_EQ(readProfileString(ini, "envs", "subFolder"), "False");
    EXPECT_EQ(readFile(ini), "[envs]\r\nCRLF=True\r\r\r\nsubFolder=False\r\n");
}

TEST_F(ProfileTest, FailedWritesLeaveTheFileAsItWas)
{
    dir.write("Scrivlet.ini", "[envs]\r\nCRLF=True\r\n");
    chmod(ini.c_str(), 0444);
    writeProfileString(ini, "envs", "CRLF", "False");
    EXPECT_EQ(readFile(ini), "[envs]\r\nCRLF=True\r\n");
    EXPECT_EQ(readProfileString(ini, "envs", "CRLF"), "True") << "a read-only file is still read";

    EXPECT_FALSE(writePrivateProfileString("envs", "CRLF", "True", dir.file("no/such/folder/x.ini")));
    // No temporary file is left behind.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST(FileTest, ExistenceAndFolders)
{
    TempDir dir;
    std::string file = dir.write("a.txt", "x");
    dir.write(".hidden.txt", "x");
    dir.write("q?.txt", "x");
    std::filesystem::create_directory(dir.file("sub"));
    chmod(file.c_str(), 0444);
    EXPECT_TRUE(fileExists(file)) << "read-only still exists";
    EXPECT_FALSE(fileExists(dir.file(".hidden.txt")));
    EXPECT_FALSE(fileExists(dir.file("sub")));
    EXPECT_FALSE(fileExists(dir.file("?.txt"))) << "no wildcards";
    EXPECT_TRUE(fileExists(dir.file("q?.txt")));
    EXPECT_FALSE(fileExists(dir.file("missing")));

    EXPECT_TRUE(isFolder(dir.file("sub")));
    EXPECT_TRUE(isFolder(dir.file("sub/")));
    EXPECT_FALSE(isFolder(file));
    EXPECT_FALSE(isFolder(dir.file("missing")));
    EXPECT_FALSE(isFolder(""));
}

TEST(PathTest, SplitsLikeTheWorkedTable)
{
    struct Row {
        const char *path, *file, *folder, *base;
    };
    const Row rows[] = {
        {"/a/b.pdf", "b.pdf", "/a", "b"},
        {"/a/b.c.pdf", "b.c.pdf", "/a", "b.c"},
        {"/a.d/readme", "readme", "/a.d", "readme"},
        {"/a/", "", "/a", ""},
        {"/b.pdf", "b.pdf", "", "b"},
        {"//srv/share/x.PDF", "x.PDF", "//srv/share", "x"},
        {"/a/.pdf", ".pdf", "/a", ""},
        {"/a/b.", "b.", "/a", "b"},
        {"C:\\a\\b.pdf", "C:\\a\\b.pdf", "", "C:\\a\\b"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(getFileName(r.path), r.file) << r.path;
        EXPECT_EQ(getBaseName(r.path), r.base) << r.path;
        if (std::string(r.path).find('/') != std::string::npos) {
            EXPECT_EQ(getFolderName(r.path), r.folder) << r.path;
        }
    }
    EXPECT_EQ(absolutePath("/a/b.pdf"), "/a/b.pdf");
    EXPECT_EQ(absolutePath("b.pdf"), getFolderName(absolutePath("x")) + "/b.pdf");
    EXPECT_EQ(absolutePath("b.pdf")[0], '/');
    EXPECT_EQ(getFileName("b.pdf"), "b.pdf");
    EXPECT_EQ(getBaseName("b.pdf"), "b");
    EXPECT_EQ(getFileName(""), "");
    EXPECT_EQ(getBaseName(""), "");
}
