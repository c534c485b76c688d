#include "store/IniFile.h"

#include <gtest/gtest.h>

#include <climits>

#include "support/TestFiles.h"

namespace vandrel {
namespace {

CIniFile LoadText(const test::TempDir& dir, std::string_view text) {
    test::WriteText(dir.File("in.ini"), text);
    CIniFile ini(dir.File("in.ini"));
    EXPECT_TRUE(ini.Load());
    return ini;
}

TEST(IniFile, ReadsSectionsUntilTheFormatEndsAndNothingFromJunk) {
    test::TempDir dir;
    CIniFile ini = LoadText(dir, "list_settings\r\nframeres\t250\r\nfiletypes\t.mp3;\t.wav;\r\n"
                                 "no tab\n padded \t x \nframeres\t9\n\r\n"
                                 "list_settings\nautosize\t0\n\n"
                                 "unclosed\nkey\t1\n");
    // CR LF and LF alike; everything after the first TAB, TABs included.
    EXPECT_EQ(ini.GetInt("list_settings", "frameres", 1000), 250);
    EXPECT_EQ(ini.GetString("list_settings", "filetypes", ""), ".mp3;\t.wav;");
    // Case and blanks count; a line without a TAB is the entry "corrupt".
    EXPECT_EQ(ini.GetInt("list_settings", "FrameRes", 7), 7);
    EXPECT_EQ(ini.GetString("list_settings", " padded ", ""), " x ");
    EXPECT_EQ(ini.GetString("list_settings", "corrupt", "none"), "");
    // Only the first section or key of a name is found.
    EXPECT_EQ(ini.GetInt("list_settings", "autosize", 1), 1);
    // A last section without its empty line is lost.
    EXPECT_EQ(ini.GetInt("unclosed", "key", 0), 0);
    // A leading empty line: nothing at all.
    EXPECT_EQ(LoadText(dir, "\na\nk\t1\n\n").GetInt("a", "k", 0), 0);
    // 1,023 characters are a line; one more stops the reading and drops the
    // section being read.
    const std::string longest = "k\t" + std::string(1021, 'v');
    ini = LoadText(dir, "a\n" + longest + "\n\nb\nx\t1\n" + longest + "v\n\n");
    EXPECT_EQ(ini.GetString("a", "k", "").size(), 1021u);
    EXPECT_EQ(ini.GetInt("b", "x", 0), 0);
    // Binary junk, then a line of 100,000 characters: nothing after it is
    // read, and what was read can be written back.
    std::string junk;
    for (int i = 0; i < 4096; ++i) {
        junk += static_cast<char>((i * 7919) % 256);
    }
    ini = LoadText(dir,
                   junk + std::string(100'000, 'x') + "\r\nlist_settings\r\nframeres\t5\r\n\r\n");
    EXPECT_EQ(ini.GetInt("list_settings", "frameres", 1000), 1000);
    EXPECT_TRUE(ini.Save());
    CIniFile missing(dir.File("missing.ini"));
    EXPECT_FALSE(missing.Load());
    // A huge file (sparse: 6 GB of nothing behind a valid start) is not read
    // into memory; every setting takes its default.
    const std::string head = "list_settings\nframeres\t5\n\n";
    test::WriteSparseFile(dir.File("huge.ini"), 6'000'000'000, {head.begin(), head.end()});
    CIniFile huge(dir.File("huge.ini"));
    EXPECT_FALSE(huge.Load()) << "a 6 GB settings file is refused";
    EXPECT_EQ(huge.GetInt("list_settings", "frameres", 1000), 1000) << "the default";
}

TEST(IniFile, ConvertsNumbersLikeTheDecimalReader) {
    EXPECT_EQ(ParseSettingsInt("  \t42"), 42);
    EXPECT_EQ(ParseSettingsInt("-7px"), -7);
    EXPECT_EQ(ParseSettingsInt("blue"), 0);
    EXPECT_EQ(ParseSettingsInt("99999999999999999999"), INT_MAX);  // saturates, never wraps
    EXPECT_EQ(ParseSettingsInt("-2147483648"), INT_MIN);
}

TEST(IniFile, WritesTheFormatAndLeavesOutWhatWouldNotReadBack) {
    test::TempDir dir;
    CIniFile ini(dir.File("out.ini"));
    ini.SetInt("list_settings", "colwidth2_", 120, 3);
    ini.SetInt("cache", "max_size", -1);
    ini.SetString("list_settings", "colwidth2_3", "80");  // replaced in its place
    ini.SetString("list_settings", "filetypes", ".mp3;");
    // Line breaks (legal in Linux file names), a TAB in a key, an empty
    // section name or an over-long line would spoil what follows them.
    ini.SetString("list_settings", "initdir", "/music/odd\nname");
    ini.SetString("list_settings", "a\tb", "v");
    ini.SetString("favourites_mru", "mru_pidl_str_0", std::string(1100, 'A'));
    ini.SetString("", "k", "v");
    ASSERT_TRUE(ini.Save());
    const std::vector<uint8_t> bytes = test::ReadFile(ini.Path());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "list_settings\r\ncolwidth2_3\t80\r\nfiletypes\t.mp3;\r\n\r\n"
              "cache\r\nmax_size\t-1\r\n\r\nfavourites_mru\r\n\r\n");
    EXPECT_EQ(LoadText(dir, std::string(bytes.begin(), bytes.end()))
                  .GetInt("list_settings", "colwidth2_", 0, 3),
              80);
    // A folder that does not exist: nothing written, and said so.
    EXPECT_FALSE(CIniFile(dir.File("missing/out.ini")).Save());
}

}  // namespace
}  // namespace vandrel
