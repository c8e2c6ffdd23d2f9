#include "filter/filter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "filter/reference_filter.h"

namespace {

std::string filtered(std::string line) {
    filterLine(&line[0]);
    return line;
}

struct LineCase {
    const char* before;
    const char* after;
};

const LineCase LINE_CASES[] = {
    {"<IMG SRC=cid:logo>", "<_MG SRC=cid:logo>"},
    {"<script src=a>", "<_cript src=a>"},
    {"</SCRIPT>", "<_SCRIPT>"},
    {"<frameset rows=50%,50%>", "<_rameset rows=50%,50%>"},
    {"</frameset>", "<_frameset>"},
    {"<iframe src=x></iframe>", "<_frame src=x><_iframe>"},
    {"<img a><img b>", "<_mg a><_mg b>"},
    {"<Object data=x>", "<_bject data=x>"},
    {"<bgsound src=a.wav>", "<_gsound src=a.wav>"},
    {"<applet code=x.class></applet>", "<_pplet code=x.class><_applet>"},
    {"<link rel=x><embed src=y></embed></object></frame>",
     "<_ink rel=x><_mbed src=y><_embed><_object><_frame>"},
    {"< script>", "< script>"},
    {"<imgx>", "<_mgx>"},
    {"Content-Type: application/octet-stream; name=setup.exe",
     "Content-Type: application/octet-stream; name=setup_exe"},
    {"Content-Disposition: attachment; filename=Report.pdf.exe",
     "Content-Disposition: attachment; filename=Report.pdf_exe"},
    {"name=a.exe b.exe", "name=a_exe b_exe"},
    {"see setup.exe; name=readme.txt", "see setup.exe; name=readme.txt"},
    {"Subject: setup.exe", "Subject: setup.exe"},
    {"name=data.json", "name=data_json"},
    {"name=notes.command", "name=notes_command"},
    {"username=bob.bat", "username=bob_bat"},
    {"NAME=x.Exe.exe", "NAME=x_Exe_exe"},
    {"name=x.exe.exe..exe", "name=x_exe_exe._exe"},
    {"name=a.txt; filename=b.exe", "name=a.txt; filename=b_exe"},
    {"name=a.com.scr.pif.lnk.dll.cpl.bat.cmd.js.vbs",
     "name=a_com_scr_pif_lnk_dll_cpl_bat_cmd_js_vbs"},
    {"name = a.exe", "name = a.exe"},
    {"name=.exe", "name=_exe"},
    {"</script >", "</script >"},
    {"</bgsound>", "</bgsound>"},
    {"..<img>", "..<_mg>"},
    {"name=caf\xe9.exe", "name=caf\xe9_exe"},
    {"<\xe9mg> <IMG\xe9", "<\xe9mg> <_MG\xe9"},
    {".", "."},
    {"", ""},
    {"<", "<"},
    {"name=", "name="},
};

TEST(FilterLine, DefusesExactlyTheListedCharacters) {
    for (const LineCase& c : LINE_CASES) {
        EXPECT_EQ(filtered(c.before), c.after) << "line: " << c.before;
    }
}

TEST(FilterLine, TakesAnLfForAnOrdinaryCharacter) {
    EXPECT_EQ(filtered("name=a.txt\nx.exe"), "name=a.txt\nx_exe");
}

TEST(FilterLine, StopsAtTheLinesNul) {
    std::string line("<img>\0<img>", 11);
    filterLine(&line[0]);
    EXPECT_EQ(line, std::string("<_mg>\0<img>", 11));
}

// Lines built from the fragments that matter, so that random draws hit
// patterns, near misses and overlaps often.
std::string randomLine(std::mt19937& random) {
    static const char* const FRAGMENTS[] = {
        "<",    "</",     ">",       "name=",  "NAME=", "Name",   "=",      ".",
        "..",   "exe",    ".ExE",    ".js",    "json",  "img",    "IFRAME", "frame",
        "set",  "script", "bgsound", "object", "embed", "applet", "link",   ".com",
        ".scr", ".pif",   ".lnk",    ".dll",   ".cpl",  ".bat",   ".cmd",   ".vbs",
        " ",    "a",      "\xe9",    "\x80",   "_",     "file",   "\t",
    };
    std::uniform_int_distribution<int> pieceCount(0, 40);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof FRAGMENTS / sizeof FRAGMENTS[0] - 1);
    std::string line;
    for (int n = pieceCount(random); n > 0 && line.size() < 1900; --n) {
        line += FRAGMENTS[pick(random)];
    }
    return line;
}

TEST(FilterLine, EqualsThePatternByPatternSearchOnRandomLines) {
    std::mt19937 random(20261211);
    for (int i = 0; i < 200000; ++i) {
        std::string line = randomLine(random);
        std::string expected = line;
        referenceFilterLine(&expected[0]);
        ASSERT_EQ(filtered(line), expected) << "line: " << line;
    }
}

TEST(FilterLines, EqualsFilterLineOnEachOfTheLines) {
    std::mt19937 random(11);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        std::string expected;
        for (int n = random() % 6; n > 0; --n) {
            std::string line = randomLine(random);
            text += line + "\r\n";
            expected += filtered(line) + "\r\n";
        }
        filterLines(&text[0], text.size());
        ASSERT_EQ(text, expected);
    }
}

TEST(FilterLine, KeepsLengthAndFirstCharacterAndIsIdempotent) {
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        std::string line = randomLine(random);
        std::string once = filtered(line);
        ASSERT_EQ(once.size(), line.size());
        for (std::size_t k = 0; k < line.size(); ++k) {
            ASSERT_TRUE(once[k] == line[k] || (k > 0 && once[k] == '_')) << "line: " << line;
        }
        ASSERT_EQ(filtered(once), once) << "line: " << line;
    }
}

}  // namespace
