// A small growable, always zero-terminated string (malloc/realloc/free).
#pragma once
#include <cstdint>

class TextBuffer {
  public:
    TextBuffer();
    TextBuffer(const TextBuffer& other);
    TextBuffer& operator=(const TextBuffer&) = delete;
    ~TextBuffer();

    void assign(const char* text, uint32_t count);
    void append(const char* text, uint32_t count);
    void append(const char* text);

    const char* text() const { return data; }
    uint32_t length() const { return len; }
    uint32_t capacity() const { return cap; }
    bool empty() const { return len == 0; }

    friend TextBuffer operator+(const TextBuffer& buffer, const char* text);
    friend TextBuffer operator+(const char* text, const TextBuffer& buffer);

  private:
    explicit TextBuffer(uint32_t initialCapacity);
    static TextBuffer concat(const char* first, uint32_t firstLength, const char* second,
                             uint32_t secondLength);

    char* data;
    uint32_t len;
    uint32_t cap;
};
