// The tokenizer and the read position: every later step of the engine relies
// on exactly these tokens and positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "engine/p2tFileReadModule.h"
#include "tests/support/referenceTokenizer.h"
#include "tests/support/tempDir.h"

namespace {

std::vector<std::string> tokensOf(const std::string& bytes)
{
    p2tReader r;
    r.openMemory(bytes.data(), bytes.size());
    std::vector<std::string> out;
    while (!p2tIsEOF(r))
        out.push_back(p2tGetToken(r));
    // Whitespace at the very end makes one last token of the zero read past it.
    if (!out.empty() && out.back() == std::string(1, '\0'))
        out.pop_back();
    return out;
}

using Tokens = std::vector<std::string>;

} // namespace

TEST(TokenizerTest, DictionariesAndNamesSplitAtDelimiters)
{
    EXPECT_EQ(tokensOf(" <</Size 6/Root 1 0 R>> "), (Tokens{"<<", "/Size", "6", "/Root", "1", "0", "R", ">>"}));
    EXPECT_EQ(tokensOf(" 123>> "), (Tokens{"123", ">>"}));
    EXPECT_EQ(tokensOf(" abc<< "), (Tokens{"abc", "<<"}));
    EXPECT_EQ(tokensOf(" /Type/Page "), (Tokens{"/Type", "/Page"}));
    EXPECT_EQ(tokensOf(" [3 0 R] "), (Tokens{"[", "3", "0", "R", "]"}));
}

TEST(TokenizerTest, StringsAndHexStringsAreNotRecognised)
{
    EXPECT_EQ(tokensOf(" (Hello World) "), (Tokens{"(", "Hello", "World", ")"}));
    EXPECT_EQ(tokensOf(" <48656C6C6F> "), (Tokens{"<48656C6C6F", ">"}));
    EXPECT_EQ(tokensOf(" <> "), (Tokens{"<", ">"}));
    EXPECT_EQ(tokensOf(" %%EOF %PDF-1.4 "), (Tokens{"%%EOF", "%PDF-1.4"}));
}

TEST(TokenizerTest, OnlySpaceCrAndLfAreWhitespace)
{
    EXPECT_EQ(tokensOf(" a\tb "), (Tokens{"a\tb"}));
    EXPECT_EQ(tokensOf(" a b "), (Tokens{"a", "b"}));
    EXPECT_EQ(tokensOf(" a\rb "), (Tokens{"a", "b"}));
    EXPECT_EQ(tokensOf(" a\nb "), (Tokens{"a", "b"}));
}

TEST(TokenizerTest, CrLfIsConsumedWholeAndALoneCrOnlyItself)
{
    std::string entry = " 0000000017 00000 n\r\nX";
    p2tReader r;
    r.openMemory(entry.data(), entry.size());
    EXPECT_EQ(p2tGetToken(r), "0000000017");
    EXPECT_EQ(p2tGetToken(r), "00000");
    EXPECT_EQ(p2tGetToken(r), "n");
    EXPECT_EQ(p2tGetPosition(r), static_cast<int32_t>(entry.size() - 1)); // after the LF

    std::string loneCr = " abc\r5";
    r.openMemory(loneCr.data(), loneCr.size());
    EXPECT_EQ(p2tGetToken(r), "abc");
    EXPECT_EQ(p2tGetPosition(r), 5); // at the 5
}

// A cross-reference entry read at once against its three tokens read byte by
// byte: the same values, position and budget, or nothing read at all.
TEST(TokenizerTest, CrossReferenceEntriesReadAtOnceMatchTheirTokens)
{
    int readAtOnce = 0;
    for (const char* entry : {"0000000017 00000 n\r\n", "0000000017 00000 f \n", "17 0 n \r", "\r\n 17 65535 n\n",
                              "17 0 n\rX", "17 0 n\r\r", "2147483647 0 n ", "2147483648 0 n ", "00000000017 0 n ",
                              "17  0 n ", "17 0 nn ", "17 0 n/", "17 0 x ", "-17 0 n "}) {
        const std::string bytes = std::string(entry) + "1 2 n" + std::string(40, ' ');
        p2tReader fast, slow;
        fast.openMemory(bytes.data(), bytes.size());
        slow.openMemory(bytes.data(), bytes.size());
        int32_t address = -1, gen = -1;
        char kind = 0;
        if (fast.readXrefEntryInWindow(address, gen, kind)) {
            ++readAtOnce;
            EXPECT_EQ(p2tToLong(referenceGetToken(slow)), address) << entry;
            EXPECT_EQ(p2tToLong(referenceGetToken(slow)), gen) << entry;
            EXPECT_EQ(referenceGetToken(slow), std::string(1, kind)) << entry;
        }
        EXPECT_EQ(p2tGetPosition(fast), p2tGetPosition(slow)) << entry;
        EXPECT_EQ(fast.budgetLeft(), slow.budgetLeft()) << entry;
    }
    EXPECT_EQ(readAtOnce, 7);
}

TEST(TokenizerTest, StreamKeywordLeavesPositionAtTheData)
{
    std::string s = " stream\r\nDATA";
    p2tReader r;
    r.openMemory(s.data(), s.size());
    EXPECT_EQ(p2tGetToken(r), "stream");
    EXPECT_EQ(p2tReadByte(r), 'D');
}

TEST(TokenizerTest, TokensAtTheEndOfTheFile)
{
    std::string s = " %%EOF";
    p2tReader r;
    r.openMemory(s.data(), s.size());
    EXPECT_EQ(p2tGetToken(r), "%%EOF");
    EXPECT_TRUE(p2tIsEOF(r));
    // A one-byte last token goes on reading once after the end, and that read gives 0.
    s = " a x";
    r.openMemory(s.data(), s.size());
    EXPECT_EQ(p2tGetToken(r), "a");
    EXPECT_EQ(p2tGetToken(r), std::string("x\0", 2));
    s = " a ";
    r.openMemory(s.data(), s.size());
    EXPECT_EQ(p2tGetToken(r), "a");
    EXPECT_TRUE(p2tIsEOF(r));
    EXPECT_EQ(p2tGetToken(r), std::string(2, '\0')) << "at the end every token is two zeros";
}

TEST(ReaderTest, SeekRules)
{
    std::string s = "ABCDEF";
    p2tReader r;
    r.openMemory(s.data(), s.size());

    int32_t zero = 0;
    EXPECT_TRUE(p2tSeek(r, zero));
    EXPECT_EQ(zero, 1) << "seeking to 0 lands on offset 1";
    EXPECT_EQ(p2tReadByte(r), 'B');

    int32_t atLength = 6;
    EXPECT_FALSE(p2tSeek(r, atLength));
    EXPECT_EQ(p2tGetPosition(r), 2) << "a refused seek does not move";
    int32_t negative = -1;
    EXPECT_FALSE(p2tSeek(r, negative));

    EXPECT_TRUE(p2tSeekEnd(r));
    EXPECT_EQ(p2tReadByte(r), 'F');
    EXPECT_TRUE(p2tIsEOF(r));
    EXPECT_EQ(p2tReadByte(r), 0) << "reads past the end give 0";
    EXPECT_TRUE(p2tIsEOF(r));

    int32_t back = 50;
    int32_t five = 5;
    p2tSeek(r, five);
    EXPECT_TRUE(p2tSeekBack(r, back));
    EXPECT_EQ(back, 1) << "clamped to 0, which lands on 1";
}

TEST(ReaderTest, ReadBytesGivesOneMoreThanAskedAndZerosPastTheEnd)
{
    std::string s = "0123456789";
    p2tReader r;
    r.openMemory(s.data(), s.size());
    int32_t two = 2;
    p2tSeek(r, two);
    p2tBytes b = p2tReadBytes(r, 4);
    EXPECT_EQ(b.size(), 5);
    EXPECT_EQ(std::string(b.bytes.begin(), b.bytes.end()), "23456");

    int32_t eight = 8;
    p2tSeek(r, eight);
    b = p2tReadBytes(r, 2000000000);
    EXPECT_EQ(b.size(), 2000000001) << "counted, not allocated";
    EXPECT_EQ(b.bytes.size(), 2u);
    EXPECT_TRUE(p2tIsEOF(r));
}

TEST(ReaderTest, EmptyFileHasNothingToSeek)
{
    p2tReader r;
    r.openMemory("", 0);
    EXPECT_FALSE(p2tSeekEnd(r));
    EXPECT_TRUE(p2tIsEOF(r));
}

TEST(ReaderTest, BufferedFileReadsMatchByteReadsAcrossWindowEdges)
{
    // Larger than one read window, with tokens spanning the window edges.
    std::string big;
    for (int i = 0; big.size() < 300000; ++i)
        big += "/Name" + std::to_string(i) + (i % 7 == 0 ? "\r\n" : i % 5 == 0 ? "\r" : " ");
    TempDir dir;
    std::string path = dir.write("big.bin", big);
    p2tReader fromFile, fromMemory;
    ASSERT_TRUE(fromFile.openFile(path));
    fromMemory.openMemory(big.data(), big.size());
    int n = 0;
    while (!p2tIsEOF(fromMemory)) {
        ASSERT_EQ(p2tGetToken(fromFile), p2tGetToken(fromMemory)) << "token " << n;
        ASSERT_EQ(p2tGetPosition(fromFile), p2tGetPosition(fromMemory));
        ++n;
    }
    EXPECT_TRUE(p2tIsEOF(fromFile));
    int32_t at = 70000;
    p2tSeek(fromFile, at);
    EXPECT_EQ(p2tReadBytes(fromFile, 99999).bytes, std::vector<uint8_t>(big.begin() + 70000, big.begin() + 170000));
}

TEST(ReaderTest, FileLengthAroundOneReadWindowAndThingsThatAreNotFiles)
{
    // A small file's length comes from its first read, a large one's from
    // the file system: both must agree with the bytes on either side.
    TempDir dir;
    const size_t window = 64 * 1024;
    for (size_t size : {size_t{2}, window - 1, window, window + 1, 3 * window}) {
        std::string bytes(size, 'x');
        bytes.back() = 'E';
        std::string path = dir.write("f" + std::to_string(size), bytes);
        p2tReader r;
        ASSERT_TRUE(r.openFile(path)) << size;
        EXPECT_EQ(r.length(), static_cast<int32_t>(size));
        ASSERT_TRUE(p2tSeekEnd(r));
        EXPECT_EQ(p2tReadByte(r), 'E') << size;
        EXPECT_TRUE(p2tIsEOF(r));
    }
    p2tReader r;
    EXPECT_FALSE(r.openFile(dir.path())) << "a folder";
    ASSERT_TRUE(r.openFile(dir.write("empty", "")));
    EXPECT_EQ(r.length(), 0);
    ASSERT_TRUE(r.openFile("/dev/zero")) << "endless devices have no length";
    EXPECT_EQ(r.length(), 0);
}

TEST(ReaderTest, WholeFileOperations)
{
    TempDir dir;
    EXPECT_FALSE(p2tReadFileBytes(dir.file("missing")));
    EXPECT_FALSE(p2tReadFileBytes(dir.write("empty", "")));
    std::vector<uint8_t> bytes{1, 2, 3};
    EXPECT_TRUE(p2tWriteFileBytes(dir.file("out"), bytes));
    EXPECT_EQ(*p2tReadFileBytes(dir.file("out")), bytes);
}

TEST(NumberTokenTest, AcceptsIntegersAndRoundsFractionsHalfToEven)
{
    EXPECT_EQ(p2tToLong("0000000017"), 17);
    EXPECT_EQ(p2tToLong("-3"), -3);
    EXPECT_EQ(p2tToLong("+8"), 8);
    EXPECT_EQ(p2tToLong("12.5"), 12);
    EXPECT_EQ(p2tToLong("13.5"), 14);
    EXPECT_EQ(p2tToLong("12.51"), 13);
    EXPECT_EQ(p2tToLong("2147483647"), INT32_MAX);
    EXPECT_EQ(p2tToLong("-2147483648"), INT32_MIN);
}

TEST(NumberTokenTest, RefusesWhatIsNotANumberOrOutOfRange)
{
    for (const char* bad : {"", "R", "obj", "12a", "1 2", "-", ".", "2147483648", "99999999999", "0x10",
                            "\0\0"})
        EXPECT_FALSE(p2tToLong(bad)) << bad;
    EXPECT_FALSE(p2tToLong(std::string("12\0", 3)));
}

// The fast tokenizer against the byte-at-a-time rules, on inputs made of the
// bytes that matter (whitespace, every delimiter, NUL, high bytes), from memory
// and from files larger than a read window.
TEST(TokenizerTest, FastPathGivesTheTokensOfTheByteRules)
{
    const std::string alphabet = std::string(" \r\n/[]()<>%aT0\t", 16) + std::string(1, '\0') + "\xff";
    std::mt19937 rng(7);
    TempDir dir;
    for (int round = 0; round < 400; ++round) {
        size_t len = round < 300 ? rng() % 40 : 70000 + rng() % 70000;
        std::string bytes;
        for (size_t i = 0; i < len; ++i)
            if (round % 3 == 2) // any byte, as in compressed stream data: tokens of all lengths
                bytes += static_cast<char>(rng() % 256);
            else
                bytes += alphabet[rng() % alphabet.size()];
        std::string path = dir.write("t.bin", bytes);
        p2tReader fast, slow;
        if (round % 2)
            fast.openMemory(bytes.data(), bytes.size());
        else
            ASSERT_TRUE(fast.openFile(path));
        slow.openMemory(bytes.data(), bytes.size());
        for (int n = 0; n < 100000; ++n) {
            if (n % 5 == 4) {
                // Skipping tokens other than some keys lands where reading them
                // would, past none of the keys.
                std::vector<std::string_view> keys{"a", ">"};
                if (n % 30 == 19) {
                    // Skipping and reading the next token gives the token reading on gives.
                    std::string spare;
                    const std::string got(p2tReadTokenAfterOthers(fast, {"a", ">"}, spare));
                    std::string last;
                    while (p2tGetPosition(slow) < p2tGetPosition(fast)) {
                        ASSERT_TRUE(std::find(keys.begin(), keys.end(), last) == keys.end());
                        last = referenceGetToken(slow);
                    }
                    ASSERT_EQ(got, last) << "round " << round << " token " << n;
                } else if (n % 15 == 4) {
                    fast.skipTokensOtherThan("a", ">");
                } else if (n % 15 == 9) {
                    keys = {"aT", "]", "<<", "0a0"};
                    fast.skipTokensOtherThan({"aT", "]", "<<", "0a0"});
                } else {
                    keys = {"/Type", "endobj"}; // rare first bytes: long runs are passed in chunks
                    fast.skipTokensOtherThan("/Type", "endobj");
                }
                while (p2tGetPosition(slow) < p2tGetPosition(fast)) {
                    std::string skipped = referenceGetToken(slow);
                    ASSERT_TRUE(std::find(keys.begin(), keys.end(), skipped) == keys.end())
                        << "round " << round << " token " << n;
                }
                ASSERT_EQ(p2tGetPosition(fast), p2tGetPosition(slow)) << "round " << round << " token " << n;
            }
            std::string expected = referenceGetToken(slow);
            std::string spare;
            if (n % 3 == 1) // the token as a view, from the window or the spare string
                ASSERT_EQ(p2tReadTokenView(fast, spare), expected) << "round " << round << " token " << n;
            else
                ASSERT_EQ(p2tGetToken(fast), expected) << "round " << round << " token " << n;
            ASSERT_EQ(p2tGetPosition(fast), p2tGetPosition(slow));
            ASSERT_EQ(fast.budgetLeft(), slow.budgetLeft()) << "round " << round << " token " << n;
            ASSERT_EQ(p2tIsEOF(fast), p2tIsEOF(slow));
            if (p2tIsEOF(slow))
                break;
        }
    }
}
