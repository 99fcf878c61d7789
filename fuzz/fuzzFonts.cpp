// Fuzz target: the CMap reader and the font loader over arbitrary bytes.
// The input is read twice: as a CMap (whose usecmap may name the
// predefined CMaps), and as a run of objects numbered 1, 2, ... of which
// the first is a font dictionary ("stream ... endstream" after a
// dictionary makes it a stream). Each then decodes the whole input as a
// shown string. Invariants: codes are 1 to 4 bytes and cover the string
// exactly; advances are finite.
#include <cmath>
#include <memory>
#include <string>

#include "engine/extended/cmap.h"
#include "engine/extended/fonts.h"
#include "engine/extended/lexer.h"
#include "fuzz/fuzzTargets.h"
#include "tests/support/memorySource.h"

namespace {

void readObjects(std::string_view bytes, testing_support::MemorySource& source)
{
    pdf::Lexer lexer(bytes);
    for (int num = 1; num < 10000 && !lexer.atEnd(); ++num) {
        size_t before = lexer.pos();
        pdf::Object o;
        pdf::parseObject(lexer, o);
        size_t afterObject = lexer.pos();
        pdf::Token t = lexer.next();
        if (o.isDict() && t.isKeyword("stream")) {
            size_t start = lexer.pos();
            size_t end = bytes.find("endstream", start);
            end = end == std::string_view::npos ? bytes.size() : end;
            pdf::Stream s;
            s.dict = std::make_shared<pdf::Dict>(o.dictValue());
            s.data = std::string(bytes.substr(start, end - start));
            o = pdf::Object::stream(std::move(s));
            lexer.setPos(end + 9);
        } else {
            lexer.setPos(afterObject);
        }
        source.objects[num] = o;
        if (lexer.pos() <= before)
            break;
    }
}

void checkGlyphs(const pdf::Font& font, std::string_view bytes)
{
    size_t covered = 0;
    std::u32string scratch;
    while (covered < bytes.size()) {
        const pdf::Glyph g = font.glyphAt(bytes, covered, scratch);
        fuzzCheck(g.codeLength >= 1 && g.codeLength <= 4, "a code of 1 to 4 bytes");
        fuzzCheck(std::isfinite(g.width), "a finite advance");
        covered += g.codeLength;
    }
    fuzzCheck(covered == bytes.size(), "codes cover the string exactly");
}

} // namespace

void fuzzFontsOne(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    static pdf::PredefinedCMaps cmaps; // one per process, as in the program
    static pdf::EncodingGlyphs encodingGlyphs;

    auto cmap = pdf::CMap::parse(bytes, cmaps.resolver());
    size_t covered = 0;
    std::u32string text;
    for (size_t pos = 0; pos < bytes.size();) {
        pdf::CMap::Code code = cmap->nextCode(bytes, pos);
        fuzzCheck(code.length >= 1 && code.length <= 4 && pos + code.length <= bytes.size(), "a code within the bytes");
        pos += code.length;
        covered += code.length;
        (void)cmap->cid(code.value);
        cmap->text(code.value, text);
    }
    fuzzCheck(covered == bytes.size(), "CMap codes cover the bytes exactly");

    testing_support::MemorySource source;
    readObjects(bytes, source);
    pdf::FontContext context{cmaps, nullptr, &encodingGlyphs};
    pdf::FontCache cache;
    auto font = cache.get(source, pdf::Object::ref({1, 0}), context);
    fuzzCheck(font != nullptr, "a font for any object");
    checkGlyphs(*font, bytes);
}

#ifndef SCRIVLET_REPLAY
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzFontsOne(data, size);
    return 0;
}
#endif
