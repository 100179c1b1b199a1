// is_valid_utf8: known forms, and agreement with GLib's validator on every
// short byte string without NUL (GLib refuses NUL; this function accepts it).
#include "velyn/utf8.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8, AcceptsWellFormedTextOnly) {
  struct Case {
    std::string_view text;
    bool valid;
  };
  using namespace std::string_view_literals;
  const Case cases[] = {
      {"", true},
      {"plain ASCII", true},
      {"a\0b"sv, true},                  // NUL is a character
      {"\xC3\xA9t\xC3\xA9", true},       // "été", two-byte forms
      {"\xE2\x82\xAC", true},            // U+20AC, three bytes
      {"\xF0\x9D\x84\x9E", true},        // U+1D11E, four bytes
      {"\xF4\x8F\xBF\xBF", true},        // U+10FFFF, the last code point
      {"\xEF\xBF\xBF", true},            // U+FFFF, a noncharacter but well-formed
      {"\xC0\xAF", false},               // overlong "/"
      {"\xE0\x80\xAF", false},           // overlong in three bytes
      {"\xF0\x82\x82\xAC", false},       // overlong in four bytes
      {"\xED\xA0\x80", false},           // U+D800, a surrogate
      {"\xED\xBF\xBF", false},           // U+DFFF
      {"\xF4\x90\x80\x80", false},       // above U+10FFFF
      {"\xE2\x82", false},               // truncated at the end
      {"\xE2\x82x", false},              // a non-continuation byte inside
      {"\x80", false},                   // a stray continuation byte
      {"\xF8\x88\x80\x80\x80", false},   // five-byte forms are not UTF-8
      {"\xFF", false},
  };
  for (const auto& c : cases) EXPECT_EQ(velyn::is_valid_utf8(c.text), c.valid) << c.text;
}

std::string fmt_hex(unsigned char byte) {
  constexpr char kDigits[] = "0123456789abcdef";
  return {kDigits[byte >> 4], kDigits[byte & 0xF], ' '};
}

bool glib_valid(const std::string& bytes) {
  return g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr);
}

TEST(Utf8, AgreesWithGlibOnShortStrings) {
  std::string s(3, ' ');
  std::size_t disagreements = 0;
  std::string first;  // the first string they disagree on, in hex
  auto compare = [&] {
    if (velyn::is_valid_utf8(s) == glib_valid(s)) return;
    if (disagreements++ == 0)
      for (char byte : s) first += fmt_hex(static_cast<unsigned char>(byte));
  };
  for (int a = 1; a < 256; ++a) {
    s.resize(1);
    s[0] = static_cast<char>(a);
    compare();
    for (int b = 1; b < 256; ++b) {
      s.resize(2);
      s[1] = static_cast<char>(b);
      compare();
      s.resize(3);
      for (int c = 1; c < 256; ++c) {
        s[2] = static_cast<char>(c);
        compare();
      }
    }
  }
  // Four-byte strings: every lead byte above 0xEF, continuations at the edges.
  const unsigned char kEdges[] = {0x01, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF};
  s.resize(4);
  for (int lead = 0xF0; lead < 256; ++lead)
    for (unsigned char b : kEdges)
      for (unsigned char c : kEdges)
        for (unsigned char d : kEdges) {
          s = {static_cast<char>(lead), static_cast<char>(b), static_cast<char>(c), static_cast<char>(d)};
          compare();
        }
  EXPECT_EQ(disagreements, 0u) << "first: " << first;
}

}  // namespace
