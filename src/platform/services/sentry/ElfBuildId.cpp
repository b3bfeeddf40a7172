#include "ElfBuildId.h"

#include <QFile>

#include <cstring>

#include <elf.h>

namespace hourloom {
namespace {

constexpr size_t alignedTo4(size_t size)
{
    return (size + 3) & ~size_t(3);
}

// The build id among the notes of one PT_NOTE segment.
QByteArray buildIdInNotes(const uchar *notes, size_t size)
{
    size_t offset = 0;
    while (offset + sizeof(Elf64_Nhdr) <= size) {
        Elf64_Nhdr header;
        std::memcpy(&header, notes + offset, sizeof header);
        const size_t name = offset + sizeof header;
        const size_t description = name + alignedTo4(header.n_namesz);
        if (description > size || header.n_descsz > size - description)
            return {};
        if (header.n_type == NT_GNU_BUILD_ID && header.n_namesz == 4 && std::memcmp(notes + name, "GNU", 4) == 0)
            return QByteArray(reinterpret_cast<const char *>(notes + description), qsizetype(header.n_descsz));
        offset = description + alignedTo4(header.n_descsz);
    }
    return {};
}

} // namespace

QByteArray elfBuildId(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < qint64(sizeof(Elf64_Ehdr)))
        return {};
    const size_t size = size_t(file.size());
    // Mapped, not read: only the headers and the notes are ever touched.
    const uchar *bytes = file.map(0, file.size());
    if (!bytes)
        return {};
    Elf64_Ehdr elf;
    std::memcpy(&elf, bytes, sizeof elf);
    // The agent and its libraries are 64-bit ELF files of this machine's byte order.
    if (std::memcmp(elf.e_ident, ELFMAG, SELFMAG) != 0 || elf.e_ident[EI_CLASS] != ELFCLASS64 || elf.e_phentsize != sizeof(Elf64_Phdr)
        || elf.e_phoff > size || size_t(elf.e_phnum) * sizeof(Elf64_Phdr) > size - elf.e_phoff)
        return {};
    for (size_t index = 0; index < elf.e_phnum; ++index) {
        Elf64_Phdr segment;
        std::memcpy(&segment, bytes + elf.e_phoff + index * sizeof segment, sizeof segment);
        if (segment.p_type != PT_NOTE || segment.p_offset > size || segment.p_filesz > size - segment.p_offset)
            continue;
        const QByteArray id = buildIdInNotes(bytes + segment.p_offset, size_t(segment.p_filesz));
        if (!id.isEmpty())
            return id;
    }
    return {};
}

} // namespace hourloom
