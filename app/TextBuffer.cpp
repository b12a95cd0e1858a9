#include "app/TextBuffer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

char* obtain(uint32_t size) {
    char* block = static_cast<char*>(std::malloc(size));
    if (!block) {
        std::fprintf(stderr, "Error: out of memory for a text of %u bytes\n", size);
        std::exit(1);
    }
    return block;
}

// Doubles the capacity at least once, until the needed bytes fit. Growth
// happens as soon as the text and its terminator would exactly fill the block.
uint32_t grown(uint32_t capacity, uint32_t needed) {
    do {
        capacity *= 2;
    } while (capacity < needed);
    return capacity;
}

} // namespace

TextBuffer::TextBuffer() : TextBuffer(32) {}

TextBuffer::TextBuffer(uint32_t initialCapacity)
    : data(obtain(initialCapacity)), len(0), cap(initialCapacity) {
    data[0] = '\0';
}

TextBuffer::TextBuffer(const TextBuffer& other)
    : data(obtain(other.cap)), len(other.len), cap(other.cap) {
    std::memcpy(data, other.data, len + 1);
}

TextBuffer::~TextBuffer() {
    std::free(data);
}

void TextBuffer::assign(const char* text, uint32_t count) {
    if (count + 1 >= cap) {
        cap = grown(cap, count + 1);
        std::free(data);
        data = obtain(cap);
    }
    std::memcpy(data, text, count);
    data[count] = '\0';
    len = count;
}

void TextBuffer::append(const char* text, uint32_t count) {
    const uint32_t newLength = len + count;
    if (newLength + 1 >= cap) {
        cap = grown(cap, newLength + 1);
        char* block = static_cast<char*>(std::realloc(data, cap));
        if (!block) {
            std::fprintf(stderr, "Error: out of memory for a text of %u bytes\n", cap);
            std::exit(1);
        }
        data = block;
    }
    std::memcpy(data + len, text, count);
    data[newLength] = '\0';
    len = newLength;
}

void TextBuffer::append(const char* text) {
    append(text, uint32_t(std::strlen(text)));
}

TextBuffer TextBuffer::concat(const char* first, uint32_t firstLength, const char* second,
                              uint32_t secondLength) {
    TextBuffer result(firstLength + secondLength + 1);
    result.assign(first, firstLength);
    result.append(second, secondLength);
    return result;
}

TextBuffer operator+(const TextBuffer& buffer, const char* text) {
    return TextBuffer::concat(buffer.data, buffer.len, text, uint32_t(std::strlen(text)));
}

TextBuffer operator+(const char* text, const TextBuffer& buffer) {
    return TextBuffer::concat(text, uint32_t(std::strlen(text)), buffer.data, buffer.len);
}
