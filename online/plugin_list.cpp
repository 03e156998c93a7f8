#include "online/plugin_list.h"

#include "dbclient/my_query.h"
#include "online/service_database.h"
#include "online/service_statements.h"

namespace kalvira {

std::vector<PluginItem> LoadPluginList(TMyQuery& dnvjhe) {
  TServiceDatabase::Run(dnvjhe, std::string(statements::kPluginQuery));
  std::vector<PluginItem> items;
  for (dnvjhe.MoveFirst(); !dnvjhe.AtEnd(); dnvjhe.MoveNext()) {
    PluginItem item;
    item.name = dnvjhe.FieldNamed("name").TextValue();
    item.size = dnvjhe.FieldNamed("size").TextValue() + std::string(kPluginSizeUnit);
    item.version = dnvjhe.FieldNamed("version").TextValue();
    item.link = dnvjhe.FieldNamed("link").TextValue();
    items.push_back(std::move(item));
  }
  return items;
}

}  // namespace kalvira
