#include "ui/html_subset.h"

#include <cctype>
#include <optional>
#include <vector>

namespace kalvira::ui {
namespace {

enum class Element { kBold, kFont };

struct Tag {
  enum Kind { kOpenBold, kCloseBold, kBreak, kOpenFont, kCloseFont } kind;
  std::string colour;      // kOpenFont only, lower-cased
  std::size_t length = 0;  // characters of the input the tag spans
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsHexDigit(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}
char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Reads the input from a position on; every accessor checks the bounds first.
class Cursor {
 public:
  Cursor(std::string_view text, std::size_t pos) : text_(text), pos_(pos) {}
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  void Skip() { ++pos_; }
  std::size_t pos() const { return pos_; }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(text_[pos_])) ++pos_;
  }
  // Consumes `word` (ASCII, lower case) in any letter case.
  bool Word(std::string_view word) {
    if (text_.size() - pos_ < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
      if (Lower(text_[pos_ + i]) != word[i]) return false;
    }
    pos_ += word.size();
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_;
};

bool ValidColour(const std::string& value) {
  if (value.empty()) return false;
  if (value[0] == '#') {
    if (value.size() != 4 && value.size() != 7) return false;
    for (std::size_t i = 1; i < value.size(); ++i) {
      if (!IsHexDigit(value[i])) return false;
    }
    return true;
  }
  if (value.size() > 20) return false;
  for (char c : value) {
    if (!IsLetter(c)) return false;
  }
  return true;
}

// The colour value after "color=", quoted or bare; nullopt when malformed.
std::optional<std::string> ReadColour(Cursor& in) {
  std::string value;
  const char quote = in.Peek();
  if (quote == '"' || quote == '\'') {
    in.Skip();
    while (!in.AtEnd() && in.Peek() != quote) {
      if (value.size() > 20) return std::nullopt;
      value += Lower(in.Peek());
      in.Skip();
    }
    if (in.AtEnd()) return std::nullopt;
    in.Skip();
  } else {
    while (!in.AtEnd() && (IsLetter(in.Peek()) || IsHexDigit(in.Peek()) || in.Peek() == '#')) {
      if (value.size() > 20) return std::nullopt;
      value += Lower(in.Peek());
      in.Skip();
    }
  }
  if (!ValidColour(value)) return std::nullopt;
  return value;
}

// Recognises one acting tag at `pos` (which holds "<").
std::optional<Tag> ReadTag(std::string_view text, std::size_t pos) {
  Cursor in(text, pos + 1);
  Tag tag{Tag::kBreak, {}, 0};
  const bool closing = in.Peek() == '/';
  if (closing) in.Skip();
  if (closing) {
    if (in.Word("b")) {
      tag.kind = Tag::kCloseBold;
    } else if (in.Word("font")) {
      tag.kind = Tag::kCloseFont;
    } else {
      return std::nullopt;
    }
    in.SkipBlanks();
  } else if (in.Word("br")) {
    tag.kind = Tag::kBreak;
    in.SkipBlanks();
    if (in.Peek() == '/') in.Skip();
  } else if (in.Word("b")) {
    tag.kind = Tag::kOpenBold;
    in.SkipBlanks();
  } else if (in.Word("font")) {
    tag.kind = Tag::kOpenFont;
    if (!IsBlank(in.Peek())) return std::nullopt;
    in.SkipBlanks();
    if (!in.Word("color")) return std::nullopt;
    in.SkipBlanks();
    if (in.Peek() != '=') return std::nullopt;
    in.Skip();
    in.SkipBlanks();
    auto colour = ReadColour(in);
    if (!colour) return std::nullopt;
    tag.colour = std::move(*colour);
    in.SkipBlanks();
  } else {
    return std::nullopt;
  }
  if (in.Peek() != '>') return std::nullopt;
  in.Skip();
  tag.length = in.pos() - pos;
  return tag;
}

void AppendEscaped(std::string& out, char c) {
  switch (c) {
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '&':
      out += "&amp;";
      break;
    case '"':
      out += "&quot;";
      break;
    default:
      out += c;
  }
}

class Converter {
 public:
  std::string Run(std::string_view text) {
    out_.reserve(text.size() + 16);
    std::size_t i = 0;
    while (i < text.size()) {
      if (text[i] == '<') {
        if (auto tag = ReadTag(text, i)) {
          if (Apply(*tag)) {
            i += tag->length;
            continue;
          }
        }
      }
      AppendEscaped(out_, text[i]);
      ++i;
    }
    while (!open_.empty()) CloseTop();
    return std::move(out_);
  }

 private:
  struct Open {
    Element element;
    std::string colour;
  };

  // Returns false when the tag is to be shown literally.
  bool Apply(const Tag& tag) {
    switch (tag.kind) {
      case Tag::kBreak:
        out_ += "<br>";
        return true;
      case Tag::kOpenBold:
        OpenElement({Element::kBold, {}});
        return true;
      case Tag::kOpenFont:
        OpenElement({Element::kFont, tag.colour});
        return true;
      case Tag::kCloseBold:
        return CloseElement(Element::kBold);
      case Tag::kCloseFont:
        return CloseElement(Element::kFont);
    }
    return false;
  }

  void OpenElement(Open element) {
    if (open_.size() >= kMaxHtmlSubsetDepth) {
      ++dropped_[Index(element.element)];
      return;
    }
    Emit(element);
    open_.push_back(std::move(element));
  }

  bool CloseElement(Element element) {
    // Opening tags dropped for depth are the innermost ones, so their closing tags come
    // first in well-nested text.
    if (dropped_[Index(element)] > 0) {
      --dropped_[Index(element)];
      return true;
    }
    std::size_t at = open_.size();
    while (at > 0 && open_[at - 1].element != element) --at;
    if (at == 0) return false;
    std::vector<Open> reopen(open_.begin() + static_cast<std::ptrdiff_t>(at), open_.end());
    while (open_.size() >= at) CloseTop();
    for (auto& again : reopen) {
      Emit(again);
      open_.push_back(std::move(again));
    }
    return true;
  }

  void Emit(const Open& element) {
    if (element.element == Element::kBold) {
      out_ += "<b>";
    } else {
      out_ += "<font color=\"" + element.colour + "\">";
    }
  }

  void CloseTop() {
    out_ += open_.back().element == Element::kBold ? "</b>" : "</font>";
    open_.pop_back();
  }

  static std::size_t Index(Element element) { return element == Element::kBold ? 0 : 1; }

  std::string out_;
  std::vector<Open> open_;
  std::size_t dropped_[2] = {0, 0};
};

}  // namespace

std::string HtmlSubsetToRichText(std::string_view text) {
  return Converter().Run(text);
}

}  // namespace kalvira::ui
