#include "cli/help_format.h"

#include <sstream>

#include "cli/cli_platform.h"
#include "engines/own_texts.h"

namespace pvx {

HelpFormatter::HelpFormatter(Lang lang) {
  column_width(32);
  label("Usage", Tr(lang, "Usage"));
  label("OPTIONS", Tr(lang, "OPTIONS"));
  label("SUBCOMMAND", Tr(lang, "COMMAND"));
  label("Options", Tr(lang, "Options"));
  label("Positionals", Tr(lang, "Arguments"));
}

std::string HelpFormatter::make_help(const CLI::App* app, std::string name,
                                     CLI::AppFormatMode mode) const {
  if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
  std::stringstream out;
  out << make_usage(app, name);
  out << make_description(app);
  out << make_positionals(app);
  out << make_groups(app, mode);
  out << make_subcommands(app, mode);
  std::string footer = make_footer(app);
  if (!footer.empty()) out << '\n' << footer;
  return out.str();
}

std::string HelpFormatter::make_description(const CLI::App* app) const {
  const std::string& text = app->get_description();
  return text.empty() ? std::string() : text + "\n";
}

std::string HelpFormatter::make_option_name(const CLI::Option* opt,
                                            bool is_positional) const {
  if (is_positional) return opt->get_name(true, false);
  std::string names;
  for (const std::string& s : opt->get_snames()) {
    names += (names.empty() ? "-" : ", -") + s;
  }
  for (const std::string& l : opt->get_lnames()) {
    names += (names.empty() ? "--" : ", --") + l;
  }
  return names;
}

std::string HelpFormatter::make_option_opts(const CLI::Option* opt) const {
  if (!opt->nonpositional() || opt->get_type_size() == 0) return "";
  return " " + opt->get_type_name();
}

}  // namespace pvx
