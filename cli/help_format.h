// How parvex --help looks: usage first, then the description, options as
// "-d, --destination DIR" with their metavariable alone, and titles in the
// user's language.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "platform/platform.h"

namespace pvx {

class HelpFormatter : public CLI::Formatter {
 public:
  explicit HelpFormatter(Lang lang);

  std::string make_help(const CLI::App* app, std::string name,
                        CLI::AppFormatMode mode) const override;
  std::string make_description(const CLI::App* app) const override;
  std::string make_option_name(const CLI::Option* opt,
                               bool is_positional) const override;
  // The metavariable (FILE, DIR, SIZE, N, LIST) of an option that takes a
  // value; nothing else (no type, no REQUIRED, no Excludes).
  std::string make_option_opts(const CLI::Option* opt) const override;
};

}  // namespace pvx
