// Table of the embedded resource files; the byte arrays themselves are
// generated from the committed files by embed_file.cmake.
#include "resources/embedded.h"

#include <cstdint>

#define NB_EMBEDDED_FILE(type, id, symbol)          \
    namespace nb::embedded {                        \
    extern const unsigned char symbol[];            \
    extern const std::uint32_t symbol##_size;       \
    }
#include "embedded_table.inc"
#undef NB_EMBEDDED_FILE

namespace nb {
namespace {

// Filled on first use: the sizes are constants of other translation units, so a
// constant-initialised table cannot read them.
#define NB_EMBEDDED_FILE(type, id, symbol) +1
constexpr size_t fileCount = 0
#include "embedded_table.inc"
    ;
#undef NB_EMBEDDED_FILE

struct Table {
    EmbeddedResource entries[fileCount];
    size_t count = 0;
    Table() {
#define NB_EMBEDDED_FILE(type, id, symbol) \
    entries[count++] = EmbeddedResource{type, id, embedded::symbol, embedded::symbol##_size};
#include "embedded_table.inc"
#undef NB_EMBEDDED_FILE
    }
};

const Table& GetTable() {
    static const Table table;
    return table;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameType(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        if (Upper(*a) != Upper(*b)) return false;
    }
    return *a == *b;
}

}  // namespace

const EmbeddedResource* FindEmbeddedResource(const char* type, int id) {
    if (!type) return nullptr;
    const Table& table = GetTable();
    for (size_t i = 0; i < table.count; ++i) {
        if (table.entries[i].id == id && SameType(table.entries[i].type, type)) return &table.entries[i];
    }
    return nullptr;
}

std::span<const EmbeddedResource> EmbeddedResources() {
    const Table& table = GetTable();
    return {table.entries, table.count};
}

}  // namespace nb
