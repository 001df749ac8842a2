// Checks of the fuzz targets: a failed check prints its place and aborts, which both libFuzzer and
// the regression runner report as a crash with the input that caused it.
#ifndef QUILLANE_TESTS_FUZZ_CHECK_H
#define QUILLANE_TESTS_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

// Reads the input as a stream of bytes; past the end it yields zeros.
class FuzzInput {
  public:
    FuzzInput(const unsigned char* data, size_t size) : data_(data), size_(size) {}
    unsigned char Byte() { return position_ < size_ ? data_[position_++] : 0; }
    bool Empty() const { return position_ >= size_; }
    size_t Remaining() const { return position_ < size_ ? size_ - position_ : 0; }

  private:
    const unsigned char* data_;
    size_t size_;
    size_t position_ = 0;
};

#endif  // QUILLANE_TESTS_FUZZ_CHECK_H
