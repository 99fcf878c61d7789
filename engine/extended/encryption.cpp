#include "engine/extended/encryption.h"

namespace pdf {

std::unique_ptr<Encryption> Encryption::open(const Dict&, const Object&) { return nullptr; }

} // namespace pdf
