// The plan of a fleet run (`-o DIR INPUT...`): which configuration files
// are converted and where each output goes, checked before anything is
// written.
#ifndef CNV_CLI_FLEET_PLAN_H_
#define CNV_CLI_FLEET_PLAN_H_

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

// One conversion of the run.
struct FleetItem {
  std::filesystem::path input;
  std::filesystem::path output;  // inside the output folder
};

// Why a plan was refused; `first` and `second` name the paths concerned.
struct FleetRefusal {
  enum class Kind {
    kNone,
    kMissingInput,         // first: an INPUT that does not exist
    kUnreadableInput,      // first: an INPUT of which not even whether it exists is known
    kOutputIsInputFolder,  // first: DIR, second: the input whose folder it is
    kOutputInsideInput,    // first: DIR, second: the folder read with -r that holds it
    kSameOutput,           // first, second: two inputs; output: what both would write
    kNoInputs,             // no configuration file in the folders given
  };
  Kind kind = Kind::kNone;
  std::filesystem::path first;
  std::filesystem::path second;
  std::filesystem::path output;
  std::error_code why{};  // kUnreadableInput: the system's reason
};

// Expands `inputs` in order: a file stands for itself, a folder for the
// "*.txt" files in it (the extension in any case), with `recursive` also
// for those in its subfolders, in the order of their relative paths. Each
// output is `outputDir` / the input's file name, or with `recursive` its
// path relative to the folder given. Fills `items` and returns a refusal of
// kind kNone, or the first reason the run must not start.
FleetRefusal PlanFleet(const std::vector<std::filesystem::path>& inputs,
                       const std::filesystem::path& outputDir, bool recursive,
                       std::vector<FleetItem>& items);

#endif  // CNV_CLI_FLEET_PLAN_H_
