#include "cli/command.h"

#include "cli/account_command.h"
#include "cli/catalog_commands.h"
#include "cli/engine_commands.h"
#include "cli/full_text_commands.h"
#include "cli/item_commands.h"
#include "cli/search_command.h"

namespace wrenly::cli {

std::vector<Command> AllCommands() {
  std::vector<Command> all;
  for (const Command& c : CatalogCommands()) all.push_back(c);
  for (const Command& c : ItemCommands()) all.push_back(c);
  for (const Command& c : SearchCommands()) all.push_back(c);
  for (const Command& c : EngineCommands()) all.push_back(c);
  for (const Command& c : FullTextCommands()) all.push_back(c);
  for (const Command& c : AccountCommands()) all.push_back(c);
  return all;
}

}  // namespace wrenly::cli
