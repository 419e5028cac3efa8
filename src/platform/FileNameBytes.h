#pragma once
// File names come from Qt (a file dialog, a drop, the recent-file list) as
// text. A name on disk whose bytes are not valid in the locale's encoding
// reaches that text with replacement characters, and encoding it back gives
// other bytes that name no file. The bytes are found again here, folder by
// folder, from what is on disk.
#include <string>

class QString;

namespace ks {

// The bytes of `name` for the system calls: each part that exists as Qt
// encodes it is taken as it is; a part that does not is looked up among its
// folder's entries by the text Qt shows for them, and taken when exactly
// one entry shows that text. Parts that match nothing (a new file being
// saved) are encoded.
std::string FileNameBytes(const QString& name);

} // namespace ks
