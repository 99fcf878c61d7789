// The PDF file reader: byte and token access to the one PDF being converted,
// with one read position shared by every engine operation.
//
// The reader object stands where a file number stood: every operation sees
// the same single file and read position. Reads go through a window buffer,
// never a system call per byte; every position, token and end-of-file answer
// is the same as reading one byte at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class p2tReader {
public:
    p2tReader() = default;
    ~p2tReader();
    p2tReader(const p2tReader&) = delete;
    p2tReader& operator=(const p2tReader&) = delete;

    // Opens a file for binary reading; false when it cannot be opened or is
    // longer than a 32-bit offset can address.
    bool openFile(const std::string& path);
    // Reads from memory that the caller keeps alive until close().
    void openMemory(const void* data, size_t size);
    void close();
    bool isOpen() const { return open_; }

    int32_t length() const { return length_; }
    int64_t position() const { return pos_; }
    void setPosition(int64_t pos) { pos_ = pos; }

    // The byte at pos_ (0 past the end), advancing the position.
    uint8_t nextByte()
    {
        if (--budget_ >= 0 && pos_ >= bufStart_ && pos_ < bufStart_ + static_cast<int64_t>(bufLen_))
            return buf_[pos_++ - bufStart_];
        return slowNextByte();
    }

    // The tokenizer may read each byte of a file many times over (every scan
    // runs to the end of an object or of the file), and a damaged file can
    // make that quadratic. Reading stops once this many bytes have been read
    // byte by byte: the reader then reports the end of the file everywhere,
    // and exhausted() tells the driver to fail the file. Sound files read
    // each byte a few times at most.
    static int64_t readBudgetFor(int64_t length) { return 16 * length + (64 << 20); }
    bool exhausted() const { return budget_ < 0; }
    // What is left of the budget: lets tests hold every fast path to the
    // charge of reading byte by byte.
    int64_t budgetLeft() const { return budget_; }
    bool atEnd() const { return pos_ >= length_ || budget_ < 0; }

    // Copies up to n bytes from pos_ on into out (no more than the file holds),
    // advancing the position by what was copied; returns the count.
    size_t readInto(uint8_t* out, size_t n);

    // The bytes from the read position up to the end of the file, without
    // moving the position: lets a scan run over the buffer directly.
    std::string_view window();
    bool fillWindowAt(int64_t pos);

    // Appends the bytes from the read position on that can only continue a
    // token (no whitespace, no delimiter), as far as the window goes, and
    // moves past them; returns how many. The tokenizer's fast path: it gives
    // what reading those bytes one at a time gives.
    size_t appendTokenRun(std::string& token);

    // Reads the next token straight from the window when it, and the byte
    // after it, lie there (with room to spare before the end of the file and
    // of the read budget); false, with nothing read, otherwise. The position
    // and the budget end as reading the token byte by byte leaves them.
    bool readTokenInWindow(std::string& token);
    // The same, giving the token's bytes in the window: valid until the
    // reader is next used.
    bool readTokenViewInWindow(std::string_view& token);
    // Moves past the tokens that differ from a and b, as reading them would,
    // as far as readTokenInWindow would read them; stops before a or b. For
    // scans that look for a key through data of no interest.
    void skipTokensOtherThan(std::string_view a, std::string_view b) { skipTokensOtherThan({a, b}); }
    void skipTokensOtherThan(std::initializer_list<std::string_view> keys);
    // The same, then reads the key it stopped before as readTokenViewInWindow
    // would; false, with the key not read, when it stopped short of one.
    bool skipToKeyAndRead(std::initializer_list<std::string_view> keys, std::string_view& token);
    // Reads a cross-reference entry in its usual form (two runs of digits of
    // 32-bit values and "n" or "f", each followed by one whitespace byte)
    // straight from the window, as reading its three tokens would; false,
    // with nothing read, for any other form or near the end of the window.
    bool readXrefEntryInWindow(int32_t& address, int32_t& gen, char& kind);

private:
    uint8_t slowNextByte();
    bool windowAtPosition();
    struct TokenBounds {
        const uint8_t* first;
        const uint8_t* end;
        const uint8_t* next;
        const uint8_t* looked;
    };
    bool tokenInWindow(const uint8_t* from, TokenBounds& t) const;
    struct KeySet;
    int skipNonKeyTokens(const uint8_t*& from, const KeySet& keys, int most, TokenBounds& key);
    bool skipToKey(const KeySet& keys, TokenBounds& key);
    const uint8_t* skipChunksToKey(const uint8_t* from, const KeySet& keys, const uint8_t (&firsts)[4]);

    bool open_ = false;
    int fd_ = -1;
    int32_t length_ = 0;
    int64_t pos_ = 0;
    const uint8_t* buf_ = nullptr; // the window: file bytes [bufStart_, bufStart_ + bufLen_)
    int64_t bufStart_ = 0;
    size_t bufLen_ = 0;
    // A file is read through a few windows, the least recently used one
    // refilled: the page walk goes back and forth between a page tree node and
    // the pages and streams it lists.
    struct Window {
        std::unique_ptr<uint8_t[]> bytes;
        int64_t start = 0;
        size_t length = 0;
        uint64_t lastUse = 0;
    };
    static constexpr int kWindows = 4;
    Window windows_[kWindows];
    uint64_t uses_ = 0;
    int64_t budget_ = 0;
};

// Stream data as p2tReadBytes returns it: n + 1 bytes, of which those past the
// end of the file are zeros. The zeros are counted, not stored, so that a huge
// "/Length" costs no memory.
struct p2tBytes {
    std::vector<uint8_t> bytes; // the bytes that lie in the file
    uint32_t zeroTail = 0;      // zeros after them
    int64_t size() const { return static_cast<int64_t>(bytes.size()) + zeroTail; }
};

// The same seen where the bytes lie.
struct p2tBytesView {
    std::span<const uint8_t> bytes;
    uint32_t zeroTail = 0;
    p2tBytesView() = default;
    p2tBytesView(std::span<const uint8_t> inFile, uint32_t zeros) : bytes(inFile), zeroTail(zeros) {}
    p2tBytesView(const p2tBytes& b) : bytes(b.bytes), zeroTail(b.zeroTail) {} // NOLINT: a view of any p2tBytes
    int64_t size() const { return static_cast<int64_t>(bytes.size()) + zeroTail; }
};

bool p2tSeek(p2tReader& fileNo, int32_t& position);
bool p2tSeekEnd(p2tReader& fileNo);
bool p2tSeekBack(p2tReader& fileNo, int32_t& count);
int32_t p2tGetPosition(p2tReader& fileNo);
bool p2tIsEOF(p2tReader& fileNo);
uint8_t p2tReadByte(p2tReader& fileNo);
p2tBytes p2tReadBytes(p2tReader& fileNo, int32_t n);
// The same, seen in the read window when the bytes lie there (valid until the
// reader is next used), else read into spare: saves copying stream data.
p2tBytesView p2tReadBytesView(p2tReader& fileNo, int32_t n, p2tBytes& spare);
std::string p2tGetToken(p2tReader& fileNo);
// The same into a string the caller reuses, for scans over many tokens.
void p2tReadToken(p2tReader& fileNo, std::string& token);
// The same as a view, straight into the read window when the token lies
// there, else into spare: valid until the reader or spare is next used. For
// scans that only compare or convert the tokens they read.
std::string_view p2tReadTokenView(p2tReader& fileNo, std::string& spare);
// Moves past the tokens other than keys (skipTokensOtherThan) and reads the
// next token as p2tReadTokenView does: one of the keys, unless the file or
// the object ends first.
std::string_view p2tReadTokenAfterOthers(p2tReader& fileNo, std::initializer_list<std::string_view> keys,
                                         std::string& spare);
int32_t p2tGetFileLength(p2tReader& fileNo);

// Whole-file operations (the CID table loader uses them).
std::optional<std::vector<uint8_t>> p2tReadFileBytes(const std::string& path);
bool p2tWriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Number tokens. The engine converts tokens to numbers where it expects them;
// a token that is not a number, or lies outside the range, gives nothing and
// the operation that asked fails. Accepted: an optional sign, digits and an
// optional fraction, rounded half to even as the conversion it stands for did.
std::optional<int32_t> p2tToLong(std::string_view token);
