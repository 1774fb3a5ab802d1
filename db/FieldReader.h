#pragma once

// Reads the fields of one fetched message as text. Internal to db/.

#include <firebird/Interface.h>

#include <optional>
#include <string>

namespace db::detail {

// The value of field `index` in `message` as text; nullopt for NULL. Text blobs are read
// through the attachment within the statement's transaction.
std::optional<std::string> fieldText(Firebird::IMessageMetadata* metadata, unsigned index,
                                     const unsigned char* message, Firebird::IAttachment* attachment,
                                     Firebird::ITransaction* transaction);

} // namespace db::detail
