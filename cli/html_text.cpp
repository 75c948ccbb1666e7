#include "cli/html_text.h"

#include <memory>
#include <vector>

#include "platform/dom/html_parser.h"
#include "platform/dom/node.h"

namespace corvane {

namespace {

bool IsOneOf(const dom::Node& node, std::initializer_list<std::string_view> names) {
  for (std::string_view name : names) {
    if (node.Is(name)) return true;
  }
  return false;
}

bool IsBlock(const dom::Node& node) {
  return IsOneOf(
      node, {"address", "article", "aside", "blockquote", "dd",  "div", "dl",     "dt",  "fieldset",
             "figure",  "footer",  "form",  "h1",         "h2",  "h3",  "h4",     "h5",  "h6",
             "header",  "hr",      "li",    "main",       "nav", "ol",  "p",      "pre", "section",
             "table",   "tbody",   "thead", "tfoot",      "tr",  "ul",  "caption"});
}

// Collects text with whitespace collapsed; line and cell breaks are asked for and made only
// when more text follows, so no line starts or ends with a separator.
class TextBuilder {
 public:
  void Text(std::string_view text) {
    for (char c : text) {
      if (c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\f') {
        if (!out_.empty() || pending_ != Break::None) space_ = true;
        continue;
      }
      Flush();
      out_ += c;
    }
  }
  void LineBreak() { pending_ = Break::Line; }
  void CellBreak() {
    if (pending_ == Break::None) pending_ = Break::Cell;
  }
  [[nodiscard]] std::string Take() {
    if (!out_.empty()) out_ += '\n';
    return std::move(out_);
  }

 private:
  enum class Break { None, Cell, Line };
  void Flush() {
    if (!out_.empty()) {
      if (pending_ == Break::Line)
        out_ += '\n';
      else if (pending_ == Break::Cell)
        out_ += "  |  ";
      else if (space_)
        out_ += ' ';
    }
    pending_ = Break::None;
    space_ = false;
  }

  std::string out_;
  Break pending_ = Break::None;
  bool space_ = false;
};

}  // namespace

std::string HtmlToText(std::string_view html) {
  const dom::ParsedDocument document = dom::ParseHtmlDocument(html);
  if (!document.root) return {};
  TextBuilder text;
  // Enter and leave every node without recursion: a page may nest deeper than the stack allows.
  struct Step {
    const dom::Node* node;
    bool leaving;
  };
  std::vector<Step> steps = {{document.root.get(), false}};
  while (!steps.empty()) {
    const Step step = steps.back();
    steps.pop_back();
    const dom::Node& node = *step.node;
    if (node.type == dom::NodeType::kText) {
      text.Text(node.data);
      continue;
    }
    if (node.type == dom::NodeType::kComment) continue;
    if (IsOneOf(node, {"style", "script", "template", "head", "title"})) continue;
    if (step.leaving) {
      if (IsBlock(node)) text.LineBreak();
      continue;
    }
    if (node.Is("br")) {
      text.LineBreak();
      continue;
    }
    if (IsBlock(node)) text.LineBreak();
    if (IsOneOf(node, {"td", "th"})) text.CellBreak();
    steps.push_back({&node, true});
    for (auto child = node.children.rbegin(); child != node.children.rend(); ++child)
      steps.push_back({child->get(), false});
  }
  return text.Take();
}

}  // namespace corvane
