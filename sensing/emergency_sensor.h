// The "Emergency" sensor: registered beside the G-sensor, it reads its own
// pressed flag. The emergency button does not press it; the button asks the
// framework for a manual event instead, so its reads report nothing.
#pragma once

// Clears the flag and registers the sensor; 0 on success.
int RegisterEmergencySensor();
// Unregisters it if its registration succeeded.
void UnregisterEmergencySensor();
