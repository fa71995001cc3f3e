#pragma once

// String table: the device start-up errors, one per DeviceError code.
#define IDS_DEVICE_ERROR_FIRST 10000
