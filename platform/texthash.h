#pragma once

// Hashed lookups of names and paths. Qt's own hash of a key shorter than 16
// bytes costs about twenty times a plain one on processors with AES
// instructions, and field, tag and file names are mostly that short: these
// lookups hash with the standard library's hash instead.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <functional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace platform {

struct TextHash {
    using is_transparent = void;
    size_t operator()(QStringView text) const noexcept
    {
        return std::hash<std::u16string_view>{}(std::u16string_view(text.utf16(), size_t(text.size())));
    }
    size_t operator()(QByteArrayView bytes) const noexcept
    {
        return std::hash<std::string_view>{}(std::string_view(bytes.data(), size_t(bytes.size())));
    }
};

// Looked up by the key's own type or by a view of it.
template <class Key>
using HashedSet = std::unordered_set<Key, TextHash, std::equal_to<>>;
template <class Key, class Value>
using HashedMap = std::unordered_map<Key, Value, TextHash, std::equal_to<>>;

} // namespace platform
