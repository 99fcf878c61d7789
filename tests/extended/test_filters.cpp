// The extended reader's stream filters on known vectors, round trips through
// the tests' encoders, and the damaged data and parameters hostile files hold.
#include <gtest/gtest.h>
#include <zlib.h>

#include "engine/extended/filters.h"
#include "tests/support/pdfWriter.h"

namespace {

pdf::FilterStep step(const std::string& name, std::vector<std::pair<std::string, int64_t>> parms = {})
{
    pdf::FilterStep s{name, {}};
    for (auto& [k, v] : parms)
        s.parms.set(k, pdf::Object::integer(v));
    return s;
}

std::string decode(const std::vector<pdf::FilterStep>& steps, std::string data, size_t limit = 1 << 20)
{
    pdf::FilterResult r = pdf::applyFilters(steps, data, limit);
    if (r == pdf::FilterResult::Image)
        return "<image>";
    if (r == pdf::FilterResult::Failed)
        return "<failed>";
    return data;
}

TEST(FiltersTest, KnownVectorsAndDamage)
{
    const std::string zeros4(4, '\0');
    struct Case {
        const char* what;
        std::vector<pdf::FilterStep> steps;
        std::string in;
        std::string out;
    } cases[] = {
        {"hex", {step("ASCIIHexDecode")}, "48 65\n6c6C6f>ignored", "Hello"},
        {"hex odd digit", {step("AHx")}, "7>", "p"},
        {"a85", {step("ASCII85Decode")}, "9jqo^F*2M7/c~>", "Man sure."},
        {"a85 z and tail", {step("A85")}, "z@:B~>", zeros4 + "ab"},
        {"a85 group past 32 bits ends the data", {step("A85")}, "9jqo^s8W-\"9jqo^~>", "Man "},
        {"run length", {step("RunLengthDecode")}, std::string("\x02" "abc\xFDx\x80" "zz", 8), "abcxxxx"},
        {"run length cut short", {step("RL")}, "\x05" "ab", "ab"},
        {"lzw vector", {step("LZWDecode")}, "\x80\x0B\x60\x50\x22\x0C\x0C\x85\x01", "-----A---B"},
        {"lzw code past the table", {step("LZW")}, "\x80\x0B\x7F\xFF\xFF", "-"},
        {"flate", {step("FlateDecode")}, deflateBytes("packed text"), "packed text"},
        {"flate cut short", {step("Fl")}, deflateBytes(std::string(3000, 'a')).substr(0, 8), ""},
        {"chain", {step("A85"), step("Fl")}, ascii85Encode(deflateBytes("two filters")), "two filters"},
        {"png up", {step("Fl", {{"Predictor", 12}, {"Columns", 2}})}, deflateBytes(std::string("\x02" "ab" "\x02\x01\x01", 6)), "abbc"},
        {"png paeth, two colours", {step("Fl", {{"Predictor", 15}, {"Colors", 2}, {"Columns", 1}})},
         deflateBytes(std::string("\x04" "ab" "\x04\x01\x01", 6)), "abbc"},
        {"tiff", {step("Fl", {{"Predictor", 2}, {"Columns", 3}})}, deflateBytes(std::string("\x01\x01\x01\x05\x01\x01", 6)), std::string("\x01\x02\x03\x05\x06\x07", 6)},
        {"predictor out of range", {step("Fl", {{"Predictor", 9}})}, deflateBytes("x"), "<failed>"},
        {"colors out of range", {step("Fl", {{"Predictor", 12}, {"Colors", 0}})}, deflateBytes("x"), "<failed>"},
        {"bits out of range", {step("Fl", {{"Predictor", 12}, {"BitsPerComponent", 3}})}, deflateBytes("x"), "<failed>"},
        {"columns out of range", {step("Fl", {{"Predictor", 12}, {"Columns", 1LL << 40}})}, deflateBytes("x"), "<failed>"},
        {"image", {step("A85"), step("DCTDecode")}, "9jqo^~>", "<image>"},
        {"jbig2", {step("JBIG2Decode")}, "", "<image>"},
        {"unknown", {step("Nonsense")}, "x", "<failed>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decode(c.steps, c.in), c.out) << c.what;
}

TEST(FiltersTest, RoundTripsAndTheLimit)
{
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "BT (line " + std::to_string(i * 7919 % 1000) + ") Tj ET\n";
    text.resize(text.size() / 7 * 7); // whole predictor rows
    EXPECT_TRUE(decode({step("LZW")}, lzwEncode(text)) == text);
    EXPECT_TRUE(decode({step("LZW", {{"EarlyChange", 0}})}, lzwEncode(text, false)) == text);
    EXPECT_TRUE(decode({step("A85")}, ascii85Encode(text)) == text);
    EXPECT_TRUE(decode({step("RL")}, runLengthEncode(text)) == text);
    for (int type = 0; type <= 5; ++type)
        EXPECT_TRUE(decode({step("Fl", {{"Predictor", 10 + type}, {"Columns", 7}})},
                           deflateBytes(pngPredict(text, 7, type)))
                    == text)
            << type;
    // Every filter stops at the limit: a bomb costs no more than it.
    std::string bomb = deflateBytes(std::string(1 << 22, 'a'));
    EXPECT_EQ(decode({step("Fl")}, bomb, 1000).size(), 1000u);
    EXPECT_EQ(decode({step("Fl"), step("RL")}, deflateBytes(std::string(4000, '\xFF')), 100).size(), 100u);
    EXPECT_EQ(decode({step("LZW")}, lzwEncode(text), 10), text.substr(0, 10));
    // Past the reused buffer a stream is inflated in pieces, and past 16 MB
    // inflated again: whole and in order, at the limit or to its end.
    std::string big;
    for (int i = 0; big.size() < (17u << 20); ++i)
        big += std::to_string(i) + (i % 13 ? " " : "\n");
    const std::string packed = deflateBytes(big);
    for (size_t size : {size_t{65536}, size_t{65537}, size_t{(1u << 20) + 65537}, big.size(), big.size() + 1})
        EXPECT_TRUE(decode({step("Fl")}, packed, size) == big.substr(0, size)) << size;
}

// Read a piece at a time, a stream gives what it gives whole: in pieces of
// any size, at the limit, without its zlib header, cut short or not deflate
// data at all.
TEST(FiltersTest, InflatedInPiecesAsWhole)
{
    std::string text;
    for (int i = 0; text.size() < 300000; ++i)
        text += std::to_string(i * 7919 % 100000) + (i % 11 ? " " : " Tj\n");
    const std::string packed = deflateBytes(text);
    const std::string inputs[] = {packed, packed.substr(2, packed.size() - 6), packed.substr(0, packed.size() / 2),
                                  "", "not deflate"};
    for (const std::string& in : inputs) {
        for (size_t limit : {size_t{0}, size_t{1000}, text.size(), size_t{1} << 30}) {
            for (size_t piece : {size_t{7}, size_t{4093}, size_t{65536}}) {
                pdf::FilterContext context;
                pdf::InflatePieces pieces(in, limit, context);
                std::string room(piece, '\0'), all;
                while (size_t n = pieces.read(room.data(), piece))
                    all.append(room, 0, n);
                EXPECT_TRUE(all == decode({step("Fl")}, in, limit)) << in.size() << " " << limit << " " << piece;
            }
        }
    }
    EXPECT_TRUE(pdf::InflatePieces::takes({step("FlateDecode", {{"Predictor", 1}})}));
    EXPECT_FALSE(pdf::InflatePieces::takes({step("Fl", {{"Predictor", 12}})}));
    EXPECT_FALSE(pdf::InflatePieces::takes({step("A85"), step("Fl")}));
}

// What zlib alone gives: all it inflates before the data ends or turns bad,
// its check value not looked at; as bare deflate data when it does not
// start as zlib data. Streams inflated at once another way give just that.
std::string zlibAlone(const std::string& in, size_t limit)
{
    auto pass = [&](int bits) {
        std::string out;
        z_stream zs{};
        if (inflateInit2(&zs, bits) != Z_OK)
            return out;
        inflateValidate(&zs, 0);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        zs.avail_in = static_cast<uInt>(in.size());
        char piece[4096];
        for (int rc = Z_OK; rc == Z_OK && out.size() < limit;) {
            zs.next_out = reinterpret_cast<Bytef*>(piece);
            zs.avail_out = static_cast<uInt>(std::min(sizeof piece, limit - out.size()));
            rc = inflate(&zs, Z_NO_FLUSH);
            out.append(piece, reinterpret_cast<char*>(zs.next_out) - piece);
        }
        inflateEnd(&zs);
        return out;
    };
    std::string out = pass(MAX_WBITS);
    const bool zlibHeader = in.size() >= 2 && (in[0] & 0x0F) == 8
                            && (static_cast<uint8_t>(in[0]) << 8 | static_cast<uint8_t>(in[1])) % 31 == 0;
    return out.empty() && !in.empty() && !zlibHeader ? pass(-MAX_WBITS) : out;
}

TEST(FiltersTest, InflatedAtOnceAsZlibAlone)
{
    std::string text;
    for (int i = 0; text.size() < 200000; ++i)
        text += std::to_string(i * 7919 % 100000) + (i % 11 ? " " : " Tj\n");
    const std::string packed = deflateBytes(text), bare = packed.substr(2, packed.size() - 6);
    std::string badCheck = packed, damaged = packed;
    badCheck.back() ^= 1;
    damaged[damaged.size() / 2] ^= 0x55;
    const std::string inputs[] = {packed, deflateBytes(std::string(300000, 'a')), badCheck, damaged,
                                  packed.substr(0, packed.size() - 2), packed + "trailing bytes", bare,
                                  bare.substr(0, bare.size() / 3),
                                  std::string("\x78\x20", 2) + bare,  // a preset dictionary
                                  std::string("\x88\x1C", 2) + bare}; // a window of 64 KB
    for (const std::string& in : inputs) {
        for (size_t limit : {size_t{1000}, text.size(), size_t{1} << 30}) {
            const std::string expected = zlibAlone(in, limit);
            EXPECT_TRUE(decode({step("Fl")}, in, limit) == expected) << in.size() << " " << limit;
            pdf::FilterContext context;
            pdf::InflatePieces pieces(in, limit, context);
            std::string room(65536, '\0'), all;
            while (size_t n = pieces.read(room.data(), room.size()))
                all.append(room, 0, n);
            EXPECT_TRUE(all == expected) << in.size() << " " << limit;
        }
    }
}

} // namespace
