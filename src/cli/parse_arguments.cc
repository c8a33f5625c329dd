#include "cli/parse_arguments.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "cli/command_table.h"
#include "cli/fatal.h"
#include "cli/help_texts.h"
#include "cli/numbers.h"
#include "cli/options.h"
#include "base/terminal_charset.h"

namespace bitmosaic {
namespace {

// Walks the arguments after the command word. `next` is the index of the
// argument the grammar looks at next.
struct ArgumentCursor {
  int argc;
  char** argv;
  int next;

  bool follows() const { return next < argc; }
  bool number_follows() const { return follows() && is_number_text(argv[next]); }
  std::int32_t take(std::int32_t minimum, std::int32_t maximum) {
    return parse_bounded_number(argv[next++], minimum, maximum);
  }
};

std::int8_t as_column(std::int32_t value) {
  return static_cast<std::int8_t>(value);  // callers bound it to -39..39
}

void require_following(const ArgumentCursor& cursor, const char* message,
                       const char* keyword) {
  if (!cursor.follows()) die_with_usage(message, keyword);
}

void read_rectangle(ArgumentCursor& cursor, const char* keyword,
                    CommandSettings& settings) {
  require_following(cursor, "ERROR: Integer after '%s' missing.", keyword);
  settings.x1 = as_column(cursor.take(0, 39));
  settings.y1 = 0;
  settings.x2 = 39;
  settings.y2 = 24;
  if (!cursor.number_follows()) return;
  settings.y1 = cursor.take(0, 24);
  if (!cursor.number_follows()) return;
  settings.x2 = as_column(cursor.take(0, 39));
  if (!cursor.number_follows()) return;
  settings.y2 = cursor.take(0, 24);
}

void read_line_range(ArgumentCursor& cursor, CommandSettings& settings) {
  // One message serves both spellings of the command.
  require_following(cursor, "ERROR: Integer(s) after '%s' missing.", "delete");
  settings.y1 = cursor.take(0, 199);
  if (!cursor.number_follows()) return;
  settings.y2 = cursor.take(settings.y1, 199);
  if (!cursor.number_follows()) return;
  settings.step = cursor.take(1, (settings.y2 - settings.y1) / 2);
}

void read_optional_cell(ArgumentCursor& cursor, CommandSettings& settings) {
  if (cursor.next + 1 >= cursor.argc) return;
  if (!is_number_text(cursor.argv[cursor.next]) ||
      !is_number_text(cursor.argv[cursor.next + 1]))
    return;
  settings.info_col = cursor.take(0, 39);
  settings.info_row = cursor.take(0, 24);
}

void read_numbers(Grammar grammar, const char* keyword, ArgumentCursor& cursor,
                  CommandSettings& settings) {
  switch (grammar) {
    case Grammar::none:
      return;
    case Grammar::rectangle:
      return read_rectangle(cursor, keyword, settings);
    case Grammar::line_range:
      return read_line_range(cursor, settings);
    case Grammar::optional_cell:
      return read_optional_cell(cursor, settings);
    case Grammar::one_row:
      require_following(cursor, "ERROR: Integer after '%s' missing.", keyword);
      settings.y1 = cursor.take(1, 24);
      settings.y2 = 24;
      settings.x1 = 0;
      settings.x2 = 39;
      return;
    case Grammar::one_column:
      require_following(cursor, "ERROR: Integer after '%s' missing.", keyword);
      settings.x1 = as_column(cursor.take(1, 39));
      settings.y1 = 0;
      settings.y2 = 24;
      settings.x2 = 39;
      return;
    case Grammar::two_offsets:
      if (cursor.next + 1 >= cursor.argc)
        die_with_usage("ERROR: Integers after '%s' missing.", keyword);
      settings.x1 = as_column(cursor.take(-39, 39));
      settings.y1 = cursor.take(-24, 24);
      return;
    case Grammar::vertical_offset:
      require_following(cursor, "ERROR: Integer after '%s' missing.", keyword);
      settings.y1 = cursor.take(-24, 24);
      settings.x1 = 0;
      return;
    case Grammar::horizontal_offset:
      require_following(cursor, "ERROR: Integer after '%s' missing.", keyword);
      settings.x1 = as_column(cursor.take(-39, 39));
      settings.y1 = 0;
      return;
  }
}

enum class HelpWord { none, help, more, examples, version };

// The words that print a text and end the run; only valid as the first word.
HelpWord help_word(const char* word) {
  for (const char* spelling : {"help", "--help", "-h"})
    if (std::strcmp(word, spelling) == 0) return HelpWord::help;
  if (std::strcmp(word, "more") == 0) return HelpWord::more;
  if (std::strcmp(word, "examples") == 0) return HelpWord::examples;
  if (std::strcmp(word, "--version") == 0 || std::strcmp(word, "-V") == 0)
    return HelpWord::version;
  return HelpWord::none;
}

[[noreturn]] void run_help_word(HelpWord word, const char* invocation_name) {
  switch (word) {
    case HelpWord::help:
      print_title(invocation_name);
      print_detailed_help();
      break;
    case HelpWord::more:
      print_credits();
      break;
    case HelpWord::examples:
      print_examples();
      break;
    case HelpWord::version:
    case HelpWord::none:
      std::printf("bitmosaic %s\n", kVersion);
      break;
  }
  end_run(0);
}

// Returns the index of the first argument after the command's numbers.
int accept_command(int argc, char** argv, int index, CommandSettings& settings) {
  const char* word = argv[index];
  if (const HelpWord help = help_word(word); help != HelpWord::none)
    run_help_word(help, argv[0]);
  for (const Command& command : command_table()) {
    if (std::strcmp(word, command.keyword) != 0) continue;
    settings.main_option_given = true;
    settings.command = &command;
    settings.*command.flag = true;
    if (command.extra_flag != nullptr) settings.*command.extra_flag = true;
    settings.needs_second_picture = command.second_picture;
    ArgumentCursor cursor{argc, argv, index + 1};
    read_numbers(command.grammar, command.keyword, cursor, settings);
    return cursor.next;
  }
  die_with_usage("ERROR: Main option missing.");
}

// A word that names an option of the command: -r, or one of the row's
// "--name=VALUE" options and switches. Anything else that looks like an option ends the
// run: a mistyped option must not become a file name.
void accept_option(const char* word, CommandSettings& settings) {
  if (std::strcmp(word, "-r") == 0) {
    settings.launch_viewer = true;
    return;
  }
  for (const OptionRow& option : option_table()) {
    if ((settings.command->options & option.bit) == 0) continue;
    const std::string_view name = option.name;
    const bool takes_value = name.ends_with('=');
    if (takes_value ? std::string_view(word).starts_with(name) : name == word)
      return option.read(word + name.size(), settings);
  }
  die_with_usage("ERROR: Unknown option '%s'.", printable_name(word, stderr).c_str());
}

void accept_file_argument(const char* argument, CommandSettings& settings) {
  if (!settings.source_path) {
    settings.source_path = argument;
  } else if (settings.needs_second_picture && !settings.second_path) {
    settings.second_path = argument;
  } else if (!settings.dest_path && settings.command->destination_argument) {
    settings.dest_path = argument;
  } else {
    die_with_usage("ERROR: Bad argument %s\n\n", printable_name(argument, stderr).c_str());
  }
}

}  // namespace

void parse_arguments(int argc, char** argv, CommandSettings& settings) {
  settings = CommandSettings{};
  if (std::getenv("bitmosaic") != nullptr) settings.launch_viewer = true;
  int index = 1;
  bool options_ended = false;  // after "--" every word is a file name
  while (index < argc) {
    if (!settings.main_option_given) {
      index = accept_command(argc, argv, index, settings);
      continue;
    }
    const char* word = argv[index++];
    if (!options_ended && std::strcmp(word, "--") == 0) {
      options_ended = true;
    } else if (!options_ended && looks_like_option(word)) {
      accept_option(word, settings);
    } else {
      accept_file_argument(word, settings);
    }
  }
}

}  // namespace bitmosaic
