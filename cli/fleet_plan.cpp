#include "cli/fleet_plan.h"

#include <algorithm>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// A path as a key for comparisons: absolute, with "." and ".." and links
// resolved as far as the path exists; without case on Windows, whose file
// names ignore it.
std::u8string Key(const fs::path& path) {
  std::error_code ec;
  fs::path full = fs::weakly_canonical(fs::absolute(path, ec), ec);
  if (ec) full = fs::absolute(path, ec).lexically_normal();
  std::u8string key = full.generic_u8string();
  while (key.size() > 1 && key.back() == u8'/') key.pop_back();
#ifdef _WIN32
  for (char8_t& c : key) {
    if (c >= u8'A' && c <= u8'Z') c = static_cast<char8_t>(c - u8'A' + u8'a');
  }
#endif
  return key;
}

// Whether `inner` is `outer` or lies below it (both keys).
bool Within(const std::u8string& inner, const std::u8string& outer) {
  if (inner.size() < outer.size() || inner.compare(0, outer.size(), outer) != 0) return false;
  return inner.size() == outer.size() || outer.back() == u8'/' || inner[outer.size()] == u8'/';
}

bool IsConfigurationName(const fs::path& path) {
  std::u8string ext = path.extension().u8string();
  for (char8_t& c : ext) {
    if (c >= u8'A' && c <= u8'Z') c = static_cast<char8_t>(c - u8'A' + u8'a');
  }
  return ext == u8".txt";
}

// The "*.txt" files of `folder` (and below it when `recursive`), each with
// its path relative to `folder`, in the order of those paths.
std::vector<fs::path> FolderInputs(const fs::path& folder, bool recursive) {
  std::vector<fs::path> relative;
  std::error_code ec;
  const auto take = [&](const fs::directory_entry& entry) {
    std::error_code typeError;
    if (entry.is_regular_file(typeError) && IsConfigurationName(entry.path())) {
      relative.push_back(entry.path().lexically_relative(folder));
    }
  };
  if (recursive) {
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      take(*it);
    }
  } else {
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
      take(*it);
    }
  }
  std::sort(relative.begin(), relative.end(), [](const fs::path& a, const fs::path& b) {
    return a.generic_u8string() < b.generic_u8string();
  });
  return relative;
}

}  // namespace

FleetRefusal PlanFleet(const std::vector<fs::path>& inputs, const fs::path& outputDir,
                       bool recursive, std::vector<FleetItem>& items) {
  items.clear();
  const std::u8string dirKey = Key(outputDir);
  std::error_code ec;
  for (const fs::path& input : inputs) {
    const fs::file_status status = fs::status(input, ec);
    if (fs::is_directory(status)) {
      if (recursive && Within(dirKey, Key(input))) {
        return {FleetRefusal::Kind::kOutputInsideInput, outputDir, input, {}};
      }
      for (const fs::path& relative : FolderInputs(input, recursive)) {
        items.push_back(
            {input / relative, outputDir / (recursive ? relative : relative.filename())});
      }
    } else if (fs::exists(status)) {
      // A file, or a device or pipe, which reads like one.
      items.push_back({input, outputDir / input.filename()});
    } else if (status.type() == fs::file_type::not_found) {
      return {FleetRefusal::Kind::kMissingInput, input, {}, {}};
    } else {
      // Not even whether it exists is known (a folder on the way that may
      // not be searched, say).
      return {FleetRefusal::Kind::kUnreadableInput, input, {}, {}, ec};
    }
  }
  if (items.empty()) return {FleetRefusal::Kind::kNoInputs, {}, {}, {}};
  std::map<std::u8string, size_t> outputs;
  for (size_t i = 0; i < items.size(); ++i) {
    const FleetItem& item = items[i];
    if (Key(item.input.parent_path().empty() ? fs::path(".") : item.input.parent_path()) ==
        dirKey) {
      return {FleetRefusal::Kind::kOutputIsInputFolder, outputDir, item.input, {}};
    }
    const auto [at, added] = outputs.emplace(Key(item.output), i);
    if (!added) {
      return {FleetRefusal::Kind::kSameOutput, items[at->second].input, item.input, item.output};
    }
  }
  return {};
}
