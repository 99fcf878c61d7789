// The standard security handler for files whose user password is empty:
// revisions 2 to 4 (RC4, AESV2) and 5 and 6 (AESV3), with crypt filters,
// keys per object, and /EncryptMetadata.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "engine/extended/pdfObject.h"

namespace pdf {

class Encryption {
public:
    virtual ~Encryption() = default;

    // The handler for the trailer's /Encrypt dictionary (resolved) and /ID;
    // null when the file needs a password or uses a handler other than the
    // standard one.
    static std::unique_ptr<Encryption> open(const Dict& encrypt, const Object& id);

    // Decrypts a string of object `ref` in place.
    virtual void decryptString(std::string& bytes, Ref ref) const = 0;
    // Decrypts a stream's data in place with the crypt filter named (empty:
    // the document's default for streams).
    virtual void decryptStream(std::string& bytes, Ref ref, std::string_view cryptFilter) const = 0;
    // False when metadata streams are left in the clear.
    virtual bool encryptMetadata() const = 0;
};

} // namespace pdf
