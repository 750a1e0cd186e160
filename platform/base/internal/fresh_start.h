// For the platform layer only: each stand-in's way back to the state of a
// fresh boot. StartPlatform calls every one of them, so that one run (or one
// test) leaves nothing behind for the next. None of them calls the platform
// or waits; each takes only its own module's lock. Handles of the previous
// run become invalid and their values free.
#pragma once

namespace os::detail {

void ResetThreadIds();      // kernel/thread.cpp
void ResetAccelerators();   // windows/accelerator.cpp
void ResetDialogs();        // windows/dialog_table.cpp
void ResetMessageQueues();  // windows/msg_queue.cpp
void ResetCommPorts();      // devices/comm_port.cpp
void ResetDevice();         // devices/device.cpp
void ResetDisplay();        // devices/display.cpp
void ResetGpsDriver();      // devices/gps_driver.cpp
void ResetDeviceHandles();  // devices/device_table.cpp
void ResetAccelerometer();  // devices/accelerometer.cpp
void ResetFileSystem();     // files/file_handles.cpp
void ResetIcons();          // shell/icon.cpp
void ResetGraphics();       // graphics/gdi_objects.cpp
void ResetLibraries();      // shell/resource_library.cpp
void ResetCom();            // base/com.cpp
void ResetMediaSim();       // media/media_sim.cpp
void ResetCameraSdk();      // media/smi_camera.cpp
void ResetVideoCodec();     // media/video_codec.cpp
void ResetPhysMem();        // media/phys_mem.cpp
void ResetSound();          // sound/sound.cpp
void ResetPhone();          // phone/phone_state.cpp

}  // namespace os::detail
