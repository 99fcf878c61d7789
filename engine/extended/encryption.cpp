#include "engine/extended/encryption.h"

#include <nettle/aes.h>
#include <nettle/arcfour.h>
#include <nettle/cbc.h>
#include <nettle/md5.h>
#include <nettle/sha2.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>

namespace pdf {

namespace {

// The 32 bytes a password is padded with (an empty one is all of them).
const uint8_t kPadding[32] = {0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E,
                              0x56, 0xFF, 0xFA, 0x01, 0x08, 0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68,
                              0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

enum class Method : uint8_t { None, Rc4, Aes128, Aes256 };

const uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

std::string md5(const std::string& data)
{
    md5_ctx ctx;
    md5_init(&ctx);
    md5_update(&ctx, data.size(), bytesOf(data));
    std::string out(MD5_DIGEST_SIZE, '\0');
    md5_digest(&ctx, MD5_DIGEST_SIZE, reinterpret_cast<uint8_t*>(out.data()));
    return out;
}

void rc4(const std::string& key, std::string& data)
{
    arcfour_ctx ctx;
    arcfour_set_key(&ctx, key.size(), bytesOf(key));
    arcfour_crypt(&ctx, data.size(), reinterpret_cast<uint8_t*>(data.data()), bytesOf(data));
}

// AES-CBC with the first 16 bytes as the initial vector and the padding
// removed; data that is not whole blocks is cut to whole blocks.
void aesDecrypt(const std::string& key, std::string& data)
{
    if (data.size() < 2 * AES_BLOCK_SIZE) {
        data.clear();
        return;
    }
    uint8_t iv[AES_BLOCK_SIZE];
    std::memcpy(iv, data.data(), AES_BLOCK_SIZE);
    size_t length = (data.size() - AES_BLOCK_SIZE) / AES_BLOCK_SIZE * AES_BLOCK_SIZE;
    std::string out(length, '\0');
    auto* dst = reinterpret_cast<uint8_t*>(out.data());
    const uint8_t* src = bytesOf(data) + AES_BLOCK_SIZE;
    if (key.size() == 32) {
        aes256_ctx ctx;
        aes256_set_decrypt_key(&ctx, bytesOf(key));
        cbc_decrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(aes256_decrypt), AES_BLOCK_SIZE, iv, length, dst, src);
    } else {
        aes128_ctx ctx;
        aes128_set_decrypt_key(&ctx, bytesOf(key));
        cbc_decrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(aes128_decrypt), AES_BLOCK_SIZE, iv, length, dst, src);
    }
    // The padding's last byte says how many bytes it is.
    size_t pad = length == 0 ? 0 : static_cast<uint8_t>(out[length - 1]);
    data.assign(out, 0, pad >= 1 && pad <= AES_BLOCK_SIZE ? length - pad : length);
}

std::string sha2(int bits, const std::string& data)
{
    std::string out(static_cast<size_t>(bits / 8), '\0');
    auto* dst = reinterpret_cast<uint8_t*>(out.data());
    if (bits == 256) {
        sha256_ctx c;
        sha256_init(&c);
        sha256_update(&c, data.size(), bytesOf(data));
        sha256_digest(&c, SHA256_DIGEST_SIZE, dst);
    } else if (bits == 384) {
        sha384_ctx c;
        sha384_init(&c);
        sha384_update(&c, data.size(), bytesOf(data));
        sha384_digest(&c, SHA384_DIGEST_SIZE, dst);
    } else {
        sha512_ctx c;
        sha512_init(&c);
        sha512_update(&c, data.size(), bytesOf(data));
        sha512_digest(&c, SHA512_DIGEST_SIZE, dst);
    }
    return out;
}

// The hash of revision 6 for the empty password and no user data; revision
// 5 takes one SHA-256.
std::string revisionHash(int revision, const std::string& salt)
{
    std::string k = sha2(256, salt);
    if (revision == 5)
        return k;
    // At least 64 rounds; the loop ends by round 288 whatever the data.
    for (int round = 0;; ++round) {
        std::string k1;
        for (int i = 0; i < 64; ++i)
            k1 += k;
        std::string e(k1.size(), '\0');
        aes128_ctx ctx;
        aes128_set_encrypt_key(&ctx, bytesOf(k));
        uint8_t iv[AES_BLOCK_SIZE];
        std::memcpy(iv, k.data() + 16, AES_BLOCK_SIZE);
        cbc_encrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(aes128_encrypt), AES_BLOCK_SIZE, iv, k1.size(),
                    reinterpret_cast<uint8_t*>(e.data()), bytesOf(k1));
        int sum = 0;
        for (int i = 0; i < 16; ++i)
            sum += static_cast<uint8_t>(e[static_cast<size_t>(i)]);
        k = sha2(sum % 3 == 0 ? 256 : sum % 3 == 1 ? 384 : 512, e);
        if (round >= 63 && static_cast<uint8_t>(e.back()) <= round + 1 - 32)
            break;
    }
    return k.substr(0, 32);
}

class StandardSecurity : public Encryption {
public:
    StandardSecurity(std::string key, Method strings, Method streams, std::map<std::string, Method> filters,
                     bool encryptMetadata)
        : key_(std::move(key)), strings_(strings), streams_(streams), filters_(std::move(filters)),
          encryptMetadata_(encryptMetadata)
    {
    }

    void decryptString(std::string& bytes, Ref ref) const override { decrypt(bytes, ref, strings_); }
    void decryptStream(std::string& bytes, Ref ref, std::string_view cryptFilter) const override
    {
        Method m = streams_;
        if (!cryptFilter.empty()) {
            auto it = filters_.find(std::string(cryptFilter));
            m = it == filters_.end() ? Method::None : it->second;
        }
        decrypt(bytes, ref, m);
    }
    bool encryptMetadata() const override { return encryptMetadata_; }

private:
    void decrypt(std::string& bytes, Ref ref, Method m) const
    {
        if (m == Method::None)
            return;
        if (m == Method::Aes256) {
            aesDecrypt(key_, bytes);
            return;
        }
        // A key per object: the file key, the object's number and generation.
        std::string k = key_;
        for (int i = 0; i < 3; ++i)
            k += static_cast<char>((ref.num >> (8 * i)) & 0xFF);
        for (int i = 0; i < 2; ++i)
            k += static_cast<char>((ref.gen >> (8 * i)) & 0xFF);
        if (m == Method::Aes128)
            k += "sAlT";
        k = md5(k).substr(0, std::min<size_t>(key_.size() + 5, 16));
        if (m == Method::Aes128)
            aesDecrypt(k, bytes);
        else
            rc4(k, bytes);
    }

    std::string key_;
    Method strings_, streams_;
    std::map<std::string, Method> filters_;
    bool encryptMetadata_;
};

// The file key of revisions 2 to 4 when the user password is empty; empty
// when it is not.
std::string legacyKey(const Dict& encrypt, int revision, size_t length, const std::string& firstId,
                      bool encryptMetadata)
{
    const std::string& o = encrypt.get("O").text();
    const std::string& u = encrypt.get("U").text();
    if (o.size() < 32 || u.size() < 32)
        return {};
    std::string data(reinterpret_cast<const char*>(kPadding), 32);
    data += o.substr(0, 32);
    auto p = static_cast<uint32_t>(encrypt.get("P").intValue());
    for (int i = 0; i < 4; ++i)
        data += static_cast<char>((p >> (8 * i)) & 0xFF);
    data += firstId;
    if (revision >= 4 && !encryptMetadata)
        data += std::string(4, '\xFF');
    std::string key = md5(data);
    if (revision >= 3)
        for (int i = 0; i < 50; ++i)
            key = md5(key.substr(0, length));
    key.resize(length);
    // The user password is empty when the key encrypts the padding to /U.
    std::string check;
    if (revision == 2) {
        check.assign(reinterpret_cast<const char*>(kPadding), 32);
        rc4(key, check);
        return check == u.substr(0, 32) ? key : std::string();
    }
    check = md5(std::string(reinterpret_cast<const char*>(kPadding), 32) + firstId);
    for (int i = 0; i < 20; ++i) {
        std::string k = key;
        for (char& c : k)
            c = static_cast<char>(c ^ i);
        rc4(k, check);
    }
    return check == u.substr(0, 16) ? key : std::string();
}

// The file key of revisions 5 and 6 when the user password is empty.
std::string aes256Key(const Dict& encrypt, int revision)
{
    const std::string& u = encrypt.get("U").text();
    const std::string& ue = encrypt.get("UE").text();
    if (u.size() < 48 || ue.size() < 32)
        return {};
    if (revisionHash(revision, u.substr(32, 8)) != u.substr(0, 32))
        return {};
    std::string intermediate = revisionHash(revision, u.substr(40, 8));
    std::string key(32, '\0');
    aes256_ctx ctx;
    aes256_set_decrypt_key(&ctx, bytesOf(intermediate));
    uint8_t iv[AES_BLOCK_SIZE] = {};
    cbc_decrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(aes256_decrypt), AES_BLOCK_SIZE, iv, 32,
                reinterpret_cast<uint8_t*>(key.data()), bytesOf(ue));
    return key;
}

Method methodOf(const Dict& cf)
{
    const Object& m = cf.get("CFM");
    if (m.isName("V2"))
        return Method::Rc4;
    if (m.isName("AESV2"))
        return Method::Aes128;
    if (m.isName("AESV3"))
        return Method::Aes256;
    return Method::None;
}

} // namespace

std::unique_ptr<Encryption> Encryption::open(const Dict& encrypt, const Object& id)
{
    if (!encrypt.get("Filter").isName("Standard"))
        return nullptr;
    const int64_t v = encrypt.get("V").intValue();
    const int64_t r = encrypt.get("R").intValue();
    const Object& em = encrypt.get("EncryptMetadata");
    const bool encryptMetadata = !em.isBool() || em.boolValue();
    const std::string firstId = id.isArray() && !id.arrayValue().empty() ? id.arrayValue()[0].text() : std::string();

    std::map<std::string, Method> filters{{"Identity", Method::None}};
    Method strings = Method::Rc4, streams = Method::Rc4;
    if (v >= 4) {
        for (const auto& [name, cf] : encrypt.get("CF").dictValue().entries())
            if (name != "Identity")
                filters[name] = methodOf(cf.dictValue());
        auto pick = [&](std::string_view key) {
            const Object& n = encrypt.get(key);
            auto it = filters.find(n.isName() ? n.text() : "Identity");
            return it == filters.end() ? Method::None : it->second;
        };
        strings = pick("StrF");
        streams = pick("StmF");
    }

    std::string key;
    if (r == 5 || r == 6) {
        if (v != 5)
            return nullptr;
        key = aes256Key(encrypt, static_cast<int>(r));
    } else if (r >= 2 && r <= 4 && v >= 1 && v <= 4) {
        int64_t bits = v == 1 ? 40 : encrypt.get("Length").isInt() ? encrypt.get("Length").intValue() : v == 4 ? 128 : 40;
        if (bits < 40 || bits > 128 || bits % 8 != 0)
            return nullptr;
        key = legacyKey(encrypt, static_cast<int>(r), static_cast<size_t>(bits / 8), firstId, encryptMetadata);
    } else {
        return nullptr;
    }
    if (key.empty())
        return nullptr;
    return std::make_unique<StandardSecurity>(std::move(key), strings, streams, std::move(filters), encryptMetadata);
}

} // namespace pdf
