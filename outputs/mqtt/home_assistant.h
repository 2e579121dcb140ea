#pragma once
// Home Assistant's MQTT discovery for a recording site: retained configurations
// under homeassistant/ that make the site a device of a dashboard, each entity
// reading the site's own topics (no topic is published for Home Assistant alone).
//
//   binary_sensor  board            PREFIX/status: the board answers
//   sensor         level            PREFIX/records: the strongest level of each record (dBm)
//   sensor         level_B_MHZ      PREFIX/records: each tuned channel or table slot's level
//   sensor         occupancy        PREFIX/occupancy: the busiest place's occupancy (%)
//   binary_sensor  alarm_NAME       PREFIX/alarms/NAME: ON while raised
// Every entity is available while PREFIX/status says online (the last will says
// otherwise). Topic: homeassistant/COMPONENT/zarn_SITE/OBJECT/config, SITE the
// site's name when it holds only letters, digits, '_' and '-' (and does not end
// like the ids made up here); else the name with anything else made '_', then '_'
// and 8 hex digits of a hash of the name, so that two sites never share a device.

#include <string>
#include <utility>
#include <vector>

#include "outputs/mqtt/mqtt_settings.h"
#include "survey/recorder_status.h"

namespace zarn {

// (topic, payload) of each configuration for what the status says the site measures.
std::vector<std::pair<std::string, std::string>> homeAssistantDiscovery(const MqttSettings& settings,
                                                                       const RecorderStatus& status);

}  // namespace zarn
