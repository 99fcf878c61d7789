#include "engine/extended/fontEncodings.h"

#include "engine/extended/fontMetrics.h"

namespace pdf {

namespace {

// The two tables the standard fonts' metrics do not give: code page 1252's
// and Mac OS Roman's characters by their glyph names, as the format defines
// these encodings (0xA0 and 0xAD are "space" and "hyphen" in both).
constexpr std::array<const char*, 256> kWinAnsiEncoding = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, // 00
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, // 08
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, // 10
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, // 18
    "space", "exclam", "quotedbl", "numbersign", "dollar", "percent", "ampersand", "quotesingle", // 20
    "parenleft", "parenright", "asterisk", "plus", "comma", "hyphen", "period", "slash", // 28
    "zero", "one", "two", "three", "four", "five", "six", "seven", // 30
    "eight", "nine", "colon", "semicolon", "less", "equal", "greater", "question", // 38
    "at", "A", "B", "C", "D", "E", "F", "G", // 40
    "H", "I", "J", "K", "L", "M", "N", "O", // 48
    "P", "Q", "R", "S", "T", "U", "V", "W", // 50
    "X", "Y", "Z", "bracketleft", "backslash", "bracketright", "asciicircum", "underscore", // 58
    "grave", "a", "b", "c", "d", "e", "f", "g", // 60
    "h", "i", "j", "k", "l", "m", "n", "o", // 68
    "p", "q", "r", "s", "t", "u", "v", "w", // 70
    "x", "y", "z", "braceleft", "bar", "braceright", "asciitilde", nullptr, // 78
    "Euro", nullptr, "quotesinglbase", "florin", "quotedblbase", "ellipsis", "dagger", "daggerdbl", // 80
    "circumflex", "perthousand", "Scaron", "guilsinglleft", "OE", nullptr, "Zcaron", nullptr, // 88
    nullptr, "quoteleft", "quoteright", "quotedblleft", "quotedblright", "bullet", "endash", "emdash", // 90
    "tilde", "trademark", "scaron", "guilsinglright", "oe", nullptr, "zcaron", "Ydieresis", // 98
    "space", "exclamdown", "cent", "sterling", "currency", "yen", "brokenbar", "section", // A0
    "dieresis", "copyright", "ordfeminine", "guillemotleft", "logicalnot", "hyphen", "registered", "macron", // A8
    "degree", "plusminus", "twosuperior", "threesuperior", "acute", "mu", "paragraph", "periodcentered", // B0
    "cedilla", "onesuperior", "ordmasculine", "guillemotright", "onequarter", "onehalf", "threequarters", "questiondown", // B8
    "Agrave", "Aacute", "Acircumflex", "Atilde", "Adieresis", "Aring", "AE", "Ccedilla", // C0
    "Egrave", "Eacute", "Ecircumflex", "Edieresis", "Igrave", "Iacute", "Icircumflex", "Idieresis", // C8
    "Eth", "Ntilde", "Ograve", "Oacute", "Ocircumflex", "Otilde", "Odieresis", "multiply", // D0
    "Oslash", "Ugrave", "Uacute", "Ucircumflex", "Udieresis", "Yacute", "Thorn", "germandbls", // D8
    "agrave", "aacute", "acircumflex", "atilde", "adieresis", "aring", "ae", "ccedilla", // E0
    "egrave", "eacute", "ecircumflex", "edieresis", "igrave", "iacute", "icircumflex", "idieresis", // E8
    "eth", "ntilde", "ograve", "oacute", "ocircumflex", "otilde", "odieresis", "divide", // F0
    "oslash", "ugrave", "uacute", "ucircumflex", "udieresis", "yacute", "thorn", "ydieresis", // F8
};
constexpr std::array<const char*, 256> kMacRomanEncoding = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, // 00
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, // 08
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, // 10
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, // 18
    "space", "exclam", "quotedbl", "numbersign", "dollar", "percent", "ampersand", "quotesingle", // 20
    "parenleft", "parenright", "asterisk", "plus", "comma", "hyphen", "period", "slash", // 28
    "zero", "one", "two", "three", "four", "five", "six", "seven", // 30
    "eight", "nine", "colon", "semicolon", "less", "equal", "greater", "question", // 38
    "at", "A", "B", "C", "D", "E", "F", "G", // 40
    "H", "I", "J", "K", "L", "M", "N", "O", // 48
    "P", "Q", "R", "S", "T", "U", "V", "W", // 50
    "X", "Y", "Z", "bracketleft", "backslash", "bracketright", "asciicircum", "underscore", // 58
    "grave", "a", "b", "c", "d", "e", "f", "g", // 60
    "h", "i", "j", "k", "l", "m", "n", "o", // 68
    "p", "q", "r", "s", "t", "u", "v", "w", // 70
    "x", "y", "z", "braceleft", "bar", "braceright", "asciitilde", nullptr, // 78
    "Adieresis", "Aring", "Ccedilla", "Eacute", "Ntilde", "Odieresis", "Udieresis", "aacute", // 80
    "agrave", "acircumflex", "adieresis", "atilde", "aring", "ccedilla", "eacute", "egrave", // 88
    "ecircumflex", "edieresis", "iacute", "igrave", "icircumflex", "idieresis", "ntilde", "oacute", // 90
    "ograve", "ocircumflex", "odieresis", "otilde", "uacute", "ugrave", "ucircumflex", "udieresis", // 98
    "dagger", "degree", "cent", "sterling", "section", "bullet", "paragraph", "germandbls", // A0
    "registered", "copyright", "trademark", "acute", "dieresis", "notequal", "AE", "Oslash", // A8
    "infinity", "plusminus", "lessequal", "greaterequal", "yen", "mu", "partialdiff", "summation", // B0
    "product", "pi", "integral", "ordfeminine", "ordmasculine", "Omega", "ae", "oslash", // B8
    "questiondown", "exclamdown", "logicalnot", "radical", "florin", "approxequal", "Delta", "guillemotleft", // C0
    "guillemotright", "ellipsis", "space", "Agrave", "Atilde", "Otilde", "OE", "oe", // C8
    "endash", "emdash", "quotedblleft", "quotedblright", "quoteleft", "quoteright", "divide", "lozenge", // D0
    "ydieresis", "Ydieresis", "fraction", "currency", "guilsinglleft", "guilsinglright", "fi", "fl", // D8
    "daggerdbl", "periodcentered", "quotesinglbase", "quotedblbase", "perthousand", "Acircumflex", "Ecircumflex", "Aacute", // E0
    "Edieresis", "Egrave", "Iacute", "Icircumflex", "Idieresis", "Igrave", "Oacute", "Ocircumflex", // E8
    nullptr, "Ograve", "Uacute", "Ucircumflex", "Ugrave", "dotlessi", "circumflex", "tilde", // F0
    "macron", "breve", "dotaccent", "ring", "cedilla", "hungarumlaut", "ogonek", "caron", // F8
};

// The encoding of expert fonts (small capitals, old-style figures,
// fractions), by glyph names as the format defines it.
constexpr std::array<const char*, 256> kMacExpertEncoding = {
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, // 00
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, // 08
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, // 10
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, // 18
    "space", "exclamsmall", "Hungarumlautsmall", "centoldstyle", "dollaroldstyle", "dollarsuperior", "ampersandsmall", "Acutesmall", // 20
    "parenleftsuperior", "parenrightsuperior", "twodotenleader", "onedotenleader", "comma", "hyphen", "period", "fraction", // 28
    "zerooldstyle", "oneoldstyle", "twooldstyle", "threeoldstyle", "fouroldstyle", "fiveoldstyle", "sixoldstyle", "sevenoldstyle", // 30
    "eightoldstyle", "nineoldstyle", "colon", "semicolon", nullptr, "threequartersemdash", nullptr, "questionsmall", // 38
    nullptr, nullptr, nullptr, nullptr, "Ethsmall", nullptr, nullptr, "onequarter", // 40
    "onehalf", "threequarters", "oneeighth", "threeeighths", "fiveeighths", "seveneighths", "onethird", "twothirds", // 48
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "ff", "fi", // 50
    "fl", "ffi", "ffl", "parenleftinferior", nullptr, "parenrightinferior", "Circumflexsmall", "hypheninferior", // 58
    "Gravesmall", "Asmall", "Bsmall", "Csmall", "Dsmall", "Esmall", "Fsmall", "Gsmall", // 60
    "Hsmall", "Ismall", "Jsmall", "Ksmall", "Lsmall", "Msmall", "Nsmall", "Osmall", // 68
    "Psmall", "Qsmall", "Rsmall", "Ssmall", "Tsmall", "Usmall", "Vsmall", "Wsmall", // 70
    "Xsmall", "Ysmall", "Zsmall", "colonmonetary", "onefitted", "rupiah", "Tildesmall", nullptr, // 78
    nullptr, "asuperior", "centsuperior", nullptr, nullptr, nullptr, nullptr, "Aacutesmall", // 80
    "Agravesmall", "Acircumflexsmall", "Adieresissmall", "Atildesmall", "Aringsmall", "Ccedillasmall", "Eacutesmall", "Egravesmall", // 88
    "Ecircumflexsmall", "Edieresissmall", "Iacutesmall", "Igravesmall", "Icircumflexsmall", "Idieresissmall", "Ntildesmall", "Oacutesmall", // 90
    "Ogravesmall", "Ocircumflexsmall", "Odieresissmall", "Otildesmall", "Uacutesmall", "Ugravesmall", "Ucircumflexsmall", "Udieresissmall", // 98
    nullptr, "eightsuperior", "fourinferior", "threeinferior", "sixinferior", "eightinferior", "seveninferior", "Scaronsmall", // A0
    nullptr, "centinferior", "twoinferior", nullptr, "Dieresissmall", nullptr, "Caronsmall", "osuperior", // A8
    "fiveinferior", nullptr, "commainferior", "periodinferior", "Yacutesmall", nullptr, "dollarinferior", nullptr, // B0
    nullptr, "Thornsmall", nullptr, "nineinferior", "zeroinferior", "Zcaronsmall", "AEsmall", "Oslashsmall", // B8
    "questiondownsmall", "oneinferior", "Lslashsmall", nullptr, nullptr, nullptr, nullptr, nullptr, // C0
    nullptr, "Cedillasmall", nullptr, nullptr, nullptr, nullptr, nullptr, "OEsmall", // C8
    "figuredash", "hyphensuperior", nullptr, nullptr, nullptr, nullptr, "exclamdownsmall", nullptr, // D0
    "Ydieresissmall", nullptr, "onesuperior", "twosuperior", "threesuperior", "foursuperior", "fivesuperior", "sixsuperior", // D8
    "sevensuperior", "ninesuperior", "zerosuperior", nullptr, "esuperior", "rsuperior", "tsuperior", nullptr, // E0
    nullptr, "isuperior", "ssuperior", "dsuperior", nullptr, nullptr, nullptr, nullptr, // E8
    nullptr, "lsuperior", "Ogoneksmall", "Brevesmall", "Macronsmall", "bsuperior", "nsuperior", "msuperior", // F0
    "commasuperior", "periodsuperior", "Dotaccentsmall", "Ringsmall", nullptr, nullptr, nullptr, nullptr, // F8
};

} // namespace

std::optional<BaseEncoding> baseEncodingNamed(std::string_view name)
{
    if (name == "StandardEncoding")
        return BaseEncoding::Standard;
    if (name == "WinAnsiEncoding")
        return BaseEncoding::WinAnsi;
    if (name == "MacRomanEncoding")
        return BaseEncoding::MacRoman;
    if (name == "MacExpertEncoding")
        return BaseEncoding::MacExpert;
    return std::nullopt;
}

std::string_view encodingGlyphName(BaseEncoding encoding, int code)
{
    if (code < 0 || code > 255)
        return {};
    const char* name = nullptr;
    switch (encoding) {
    case BaseEncoding::WinAnsi: name = kWinAnsiEncoding[code]; break;
    case BaseEncoding::MacRoman: name = kMacRomanEncoding[code]; break;
    case BaseEncoding::MacExpert: name = kMacExpertEncoding[code]; break;
    case BaseEncoding::Standard: return StandardFont::find("Helvetica")->builtinName(code);
    case BaseEncoding::Symbol: return StandardFont::find("Symbol")->builtinName(code);
    case BaseEncoding::ZapfDingbats: return StandardFont::find("ZapfDingbats")->builtinName(code);
    }
    return name ? std::string_view(name) : std::string_view();
}

GlyphNames glyphNamesOf(BaseEncoding encoding)
{
    GlyphNames names;
    for (int c = 0; c < 256; ++c)
        names[c] = encodingGlyphName(encoding, c);
    return names;
}

void applyDifferences(const Array& differences, GlyphNames& names)
{
    int64_t code = -1; // none yet: names before the first code are passed over
    for (const Object& o : differences) {
        if (o.isNumber())
            code = o.intValue();
        else if (o.isName() && code >= 0 && code < 256) // past 255 (or a huge code): nothing more to name
            names[static_cast<size_t>(code++)] = o.text();
    }
}

} // namespace pdf
