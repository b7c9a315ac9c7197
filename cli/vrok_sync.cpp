// vrok-sync PLUGIN [--type NAME] [--status CODE]
//
// Stands in for the sync service: loads an object-type plug-in and plays one
// synchronisation against it, printing a JSON line per call with what the call
// returned and wrote.

#include <dlfcn.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "content/utf8.h"
#include "platform/core/replication.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kUsage =
    "usage: vrok-sync PLUGIN [--type NAME] [--status CODE]\n"
    "  --type NAME    object type to synchronise (default \"Vrok AutoUpdate\")\n"
    "  --status CODE  status code to report at the end (default 1)\n";

struct Options {
  std::string plugin;
  std::string type = "Vrok AutoUpdate";
  std::uint32_t status = 1;
};

std::optional<std::uint32_t> ParseCode(const char* text) {
  if (!*text || *text == '-') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 0);
  if (errno != 0 || *end != '\0' || value > UINT32_MAX) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

std::optional<Options> ParseArguments(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if ((arg == "--type" || arg == "--status") && i + 1 < argc) {
      const char* value = argv[++i];
      if (arg == "--type") {
        options.type = value;
      } else if (const auto code = ParseCode(value)) {
        options.status = *code;
      } else {
        return std::nullopt;
      }
    } else if (arg.starts_with("-") || !options.plugin.empty()) {
      return std::nullopt;
    } else {
      options.plugin = arg;
    }
  }
  if (options.plugin.empty()) return std::nullopt;
  return options;
}

void Print(const Json& line) { std::printf("%s\n", line.dump().c_str()); }

// Results are shown as the unsigned 32-bit patterns the interface defines.
std::uint32_t Bits(ReplResult result) { return static_cast<std::uint32_t>(result); }

template <typename Record>
void FillName(Record& record, const std::u16string& type) {
  record.size = sizeof record;
  type.copy(record.objectType, REPL_MAX_TYPE_NAME - 1);
}

template <typename Fn>
bool Lookup(void* library, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(dlsym(library, name));
  return fn != nullptr;
}

struct Plugin {
  ReplInitObjTypeFn initObjType;
  ReplObjectNotifyFn objectNotify;
  ReplGetObjTypeInfoFn getObjTypeInfo;
  ReplReportStatusFn reportStatus;
};

void PlaySync(const Plugin& plugin, const std::string& typeName, const std::u16string& type,
              std::uint32_t status) {
  IReplObjHandler* handler = nullptr;
  Print({{"call", "InitObjType"},
         {"type", typeName},
         {"result", plugin.initObjType(type.c_str(), &handler, 1)},
         {"handler", handler != nullptr}});

  // The counts go in as 1 so that a plug-in that leaves them alone shows.
  ReplTypeInfo info{};
  FillName(info, type);
  info.objectCount = 1;
  info.totalSize = 1;
  const int32_t infoResult = plugin.getObjTypeInfo(&info);
  Print({{"call", "GetObjTypeInfo"},
         {"result", infoResult},
         {"objects", info.objectCount},
         {"bytes", info.totalSize}});

  ReplNotify notify{};
  FillName(notify, type);
  Print({{"call", "ObjectNotify"}, {"result", plugin.objectNotify(&notify)}});

  if (handler) {
    const IReplObjHandlerVtbl& ops = *handler->vtbl;
    ReplSetup setup{};
    setup.size = sizeof setup;
    setup.read = 1;
    Print({{"call", "Setup"}, {"result", Bits(ops.Setup(handler, &setup))}});

    const char* data = "unset";
    std::uint32_t size = 1;
    const ReplResult packet = ops.GetPacket(handler, &data, &size, 4096);
    Print({{"call", "GetPacket"},
           {"result", Bits(packet)},
           {"packet", data != nullptr},
           {"packet_size", size}});

    static constexpr char kSample[] = "sample";
    Print({{"call", "SetPacket"},
           {"result", Bits(ops.SetPacket(handler, kSample, sizeof kSample - 1))}});

    const std::uint32_t left = ops.Release(handler);
    Print({{"call", "Release"}, {"result", left}, {"refcount", left}});
  }

  Print({{"call", "ReportStatus"},
         {"status", status},
         {"result", plugin.reportStatus(type.c_str(), status, 0)}});

  IReplObjHandler* unloadHandler = nullptr;
  Print({{"call", "InitObjType"},
         {"type", nullptr},
         {"result", plugin.initObjType(nullptr, &unloadHandler, 0)},
         {"handler", unloadHandler != nullptr}});
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = ParseArguments(argc, argv);
  if (!options) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const auto type = vrok::FromUtf8(options->type);
  if (!type || type->size() >= REPL_MAX_TYPE_NAME) {
    std::fprintf(stderr, "vrok-sync: --type must be valid UTF-8 of fewer than %d code units\n",
                 REPL_MAX_TYPE_NAME);
    return 2;
  }

  // A path without a slash would make dlopen search the library path instead.
  const std::string path =
      options->plugin.find('/') == std::string::npos ? "./" + options->plugin : options->plugin;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    std::fprintf(stderr, "vrok-sync: cannot load %s: %s\n", options->plugin.c_str(), dlerror());
    return 1;
  }
  Plugin plugin{};
  const char* missing = nullptr;
  const auto need = [&](const char* name, auto& fn) {
    if (!missing && !Lookup(library, name, fn)) missing = name;
  };
  need("InitObjType", plugin.initObjType);
  need("ObjectNotify", plugin.objectNotify);
  need("GetObjTypeInfo", plugin.getObjTypeInfo);
  need("ReportStatus", plugin.reportStatus);
  if (missing) {
    std::fprintf(stderr, "vrok-sync: %s has no entry point %s\n", options->plugin.c_str(), missing);
    dlclose(library);
    return 1;
  }
  PlaySync(plugin, options->type, *type, options->status);
  dlclose(library);
  return 0;
}
