#pragma once
// The plug-ins in the order the pages show them, owned by the controller: the built-in cleaners at
// their fixed places, then the custom plug-ins. Built once; it never changes afterwards.

#include <array>
#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

#include "engine/plugin.h"

namespace corvane {

class PluginList {
 public:
  PluginList() = default;
  PluginList(PluginList&&) = default;
  PluginList& operator=(PluginList&&) = default;

  void PushFront(PluginPtr plugin);
  void PushBack(PluginPtr plugin);

  [[nodiscard]] std::size_t Size() const { return plugins_.size(); }
  [[nodiscard]] bool Empty() const { return plugins_.empty(); }
  [[nodiscard]] Plugin& At(std::size_t index) const { return *plugins_.at(index); }

  // The first plug-in whose id equals `id` exactly (letter case matters), or null.
  [[nodiscard]] Plugin* FindPlugin(std::string_view id) const;
  // The first plug-in in list order that is enabled, or null.
  [[nodiscard]] Plugin* FirstEnabled() const;

  // Iteration in list order, yielding Plugin&.
  class Iterator {
   public:
    explicit Iterator(std::vector<PluginPtr>::const_iterator at) : at_(at) {}
    Plugin& operator*() const { return **at_; }
    Iterator& operator++() {
      ++at_;
      return *this;
    }
    bool operator==(const Iterator&) const = default;

   private:
    std::vector<PluginPtr>::const_iterator at_;
  };
  [[nodiscard]] Iterator begin() const { return Iterator(plugins_.begin()); }
  [[nodiscard]] Iterator end() const { return Iterator(plugins_.end()); }

 private:
  std::vector<PluginPtr> plugins_;
};

// A built-in cleaner's place: its id and the name it shows until its texts are loaded.
struct BuiltinPluginInfo {
  std::string_view id;
  std::string_view constructionName;
};

inline constexpr std::size_t kBuiltinPluginCount = 8;

// The built-in cleaners in list order.
inline constexpr std::array<BuiltinPluginInfo, kBuiltinPluginCount> kBuiltinPlugins{{
    {"BrowserHistory", "Browsing History"},
    {"BrowserCookies", "Cookies"},
    {"BrowserCache", "Browsing Cache"},
    {"BrowserForms", "Browsing Forms Data"},
    {"RecentUsed", "Recently used documents"},
    {"MessageHistory", "Instant Messaging"},
    {"RecycleBin", "Recyle Bin"},
    {"WinGames", "Games"},
}};

// Where custom plug-in definitions lie, below the program folder.
inline constexpr std::string_view kCustomPluginsFolder = "CustomPlugins";

struct PluginFactories {
  // Makes one built-in cleaner.
  using Builtin = std::function<PluginPtr(PluginOwner& owner)>;
  // Makes a custom plug-in and loads its definition ("CustomPlugins\<file>.pld", relative to the
  // program folder); null when the definition cannot be loaded.
  using Custom = std::function<PluginPtr(PluginOwner& owner, std::string_view definitionPath)>;

  // Indexed like kBuiltinPlugins; an empty factory leaves that cleaner out.
  std::array<Builtin, kBuiltinPluginCount> builtins;
  Custom custom;
};

// Appends a custom plug-in per "*.pld" file of the custom folder, in the order the folder lists
// them, each when `make` loaded it. Names that no Windows file could have (a backslash in them)
// are passed over, and so is a plug-in whose id differs from one already listed only in letter
// case (the trace log says so).
void AppendCustomPlugins(PluginList& list, PluginOwner& owner, const PluginFactories::Custom& make);

// Builds the list: the built-in cleaners are made from the last place to the first, each put at
// the front; then a custom plug-in per "*.pld" file of the custom folder, in the order the folder
// lists them, each appended when it loaded.
[[nodiscard]] PluginList BuildPluginList(PluginOwner& owner, const PluginFactories& factories);

}  // namespace corvane
