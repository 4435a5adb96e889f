#include "ui/script/script_plan.h"

#include <fstream>
#include <sstream>

namespace tessaril::ui {

namespace {

constexpr int DEEPEST_INCLUDE = 16;

std::string folder_of(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string resolve(const std::string& base_folder, const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  return base_folder + path;
}

bool read_file(const std::string& path, std::string& text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream buffer;
  buffer << file.rdbuf();
  text = buffer.str();
  return !file.bad();
}

// Parses the lines of one file into plan, includes expanded. `chain` holds
// the files being read, outermost first; top_line is the line of the
// outermost script while inside an include (0 while in it).
class Loader {
 public:
  Loader(ScriptPlan& plan, PlanError& error) : plan_(plan), error_(error) {}

  bool load(const std::string& text, int file, const std::string& base_folder, int first_line, int top_line,
            std::vector<std::string>& chain);

 private:
  bool fail(int top_line, int file, int line, std::string message) {
    error_.top_line = top_line;
    error_.file = file == 0 ? std::string() : plan_.files[file];
    error_.line = line;
    error_.message = std::move(message);
    return false;
  }

  ScriptPlan& plan_;
  PlanError& error_;
  int depth_ = 0;  // repeat blocks open, across the files being read
};

bool Loader::load(const std::string& text, int file, const std::string& base_folder, int first_line, int top_line,
                  std::vector<std::string>& chain) {
  std::istringstream in(text);
  std::string line;
  int line_number = first_line - 1;
  std::vector<size_t> open_blocks;  // indices of the repeats not yet ended
  while (std::getline(in, line)) {
    ++line_number;
    const int top = top_line ? top_line : line_number;
    PlanStep step;
    std::string error;
    switch (parse_script_line(line, step.command, error)) {
      case ParseOutcome::Nothing:
        continue;
      case ParseOutcome::Malformed:
        return fail(top, file, line_number, error);
      case ParseOutcome::Command:
        break;
    }
    step.file = file;
    step.line = line_number;
    step.top_line = top;
    const ScriptOp op = step.command.op;
    if (op == ScriptOp::Include) {
      const std::string path = resolve(base_folder, step.command.text);
      for (const std::string& reading : chain)
        if (reading == path) return fail(top, file, line_number, "include: " + path + " includes itself");
      if (chain.size() >= DEEPEST_INCLUDE)
        return fail(top, file, line_number, "include: more than 16 files deep");
      std::string included;
      if (!read_file(path, included)) return fail(top, file, line_number, "include: cannot read " + path);
      plan_.files.push_back(path);
      chain.push_back(path);
      const int index = static_cast<int>(plan_.files.size() - 1);
      if (!load(included, index, folder_of(path), 1, top, chain)) return false;
      chain.pop_back();
      continue;
    }
    if (op == ScriptOp::Case && depth_ > 0) {
      return fail(top, file, line_number, "case inside a repeat block: a test case is named once");
    }
    if (op == ScriptOp::End) {
      if (open_blocks.empty()) return fail(top, file, line_number, "end without its repeat");
      const size_t repeat = open_blocks.back();
      open_blocks.pop_back();
      step.match = repeat;
      plan_.steps[repeat].match = plan_.steps.size();
      --depth_;
    }
    if (op == ScriptOp::Repeat) {
      open_blocks.push_back(plan_.steps.size());
      ++depth_;
    }
    plan_.steps.push_back(std::move(step));
  }
  if (!open_blocks.empty()) {
    const PlanStep& open = plan_.steps[open_blocks.back()];
    return fail(open.top_line, file, open.line, "repeat without its end");
  }
  return true;
}

}  // namespace

std::string plan_place(int top_line, const std::string& file, int line) {
  std::string text = "script line " + std::to_string(top_line);
  if (!file.empty()) text += ": in " + file + " line " + std::to_string(line);
  return text;
}

std::string describe(const PlanError& error) {
  return plan_place(error.top_line, error.file, error.line) + ": " + error.message;
}

bool load_plan_text(const std::string& text, const std::string& base_folder, int first_line, ScriptPlan& plan,
                    PlanError& error) {
  plan = ScriptPlan{};
  plan.files.push_back("");
  error = PlanError{};
  std::vector<std::string> chain;
  Loader loader(plan, error);
  return loader.load(text, 0, base_folder, first_line, 0, chain);
}

bool load_plan_file(const std::string& path, ScriptPlan& plan, PlanError& error) {
  std::string text;
  if (!read_file(path, text)) {
    error = PlanError{};
    error.message = "cannot read the script " + path;
    return false;
  }
  if (!load_plan_text(text, folder_of(path), 1, plan, error)) return false;
  plan.files[0] = path;
  return true;
}

bool ScriptReader::next(ScriptPlan& plan, PlanError& error) {
  error = PlanError{};
  std::string piece;
  int first = 0;
  int depth = 0;
  std::string line;
  while (std::getline(in_, line)) {
    ++line_number_;
    if (first == 0) first = line_number_;
    piece += line;
    piece += '\n';
    ScriptCommand command;
    std::string message;
    if (parse_script_line(line, command, message) == ParseOutcome::Command) {
      if (command.op == ScriptOp::Repeat) ++depth;
      if (command.op == ScriptOp::End) --depth;
    }
    // A malformed line, an end too many: the loader says what is wrong.
    if (depth <= 0) return load_plan_text(piece, "", first, plan, error);
  }
  if (piece.empty()) return false;
  return load_plan_text(piece, "", first, plan, error);  // a block the input left open
}

}  // namespace tessaril::ui
