// RegistrationRecords: how the program describes itself to the host editor
// when started with the registration switch. A fixed table of host calls,
// made in order, each once; nothing in it depends on input.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <variant>

#include "text/text.h"

#include "host/plugin_host.h"

namespace tarnweld {

struct RegistrationRecord {
  enum class Call { SetGlobalSuffix, DataAdd };
  Call call;
  TextView key;  // empty for SetGlobalSuffix
  // Strings go as string variants; mode values as 16-bit integers.
  std::variant<TextView, std::int16_t> value;
};

// The records 2 to 12 are stored under the suffix "_1"; the last call resets it.
inline constexpr std::array<RegistrationRecord, 13> RegistrationRecords{{
    {RegistrationRecord::Call::SetGlobalSuffix, TXT(""), TXT("_1")},
    {RegistrationRecord::Call::DataAdd, TXT("NAME"), TXT("Tarnweld")},
    {RegistrationRecord::Call::DataAdd, TXT("SECTION"), TXT("Tools")},
    {RegistrationRecord::Call::DataAdd, TXT("VERSION"), TXT("1.0")},
    {RegistrationRecord::Call::DataAdd, TXT("AUTHOR"), TXT("The Tarnweld Project")},
    {RegistrationRecord::Call::DataAdd, TXT("EMAIL"), TXT("tarnweld@example.org")},
    {RegistrationRecord::Call::DataAdd, TXT("URL_HOME"), TXT("")},
    {RegistrationRecord::Call::DataAdd, TXT("DESCRIPTION"),
     TXT("Transform an XML (eXtensible Markup Language) file with an XSL (eXtensible Stylesheet Language) file "
         "using Microsoft's XML 3.0 parser")},
    {RegistrationRecord::Call::DataAdd, TXT("HINT"), TXT("Transform an XML file with an XSL file using MSXML 3.0")},
    {RegistrationRecord::Call::DataAdd, TXT("MODE_SHOW_STATUS"), std::int16_t{1}},
    {RegistrationRecord::Call::DataAdd, TXT("MODE_IN_TEXT_FULL"), std::int16_t{1}},
    {RegistrationRecord::Call::DataAdd, TXT("MODE_ADD_MENU_SHORTCUTS"), std::int16_t{1}},
    {RegistrationRecord::Call::SetGlobalSuffix, TXT(""), TXT("")},
}};

// Creates the host session in `host` and makes the registration calls.
// A call that fails is skipped and the next one is made.
void registerPlugin(PluginHost& host, AutomationBackend& backend);

}  // namespace tarnweld
