// The camera's built-in view: a road seen through the windscreen. Sky above
// the horizon, grass and a road in perspective below it, dashed centre
// markings and roadside posts that come towards the car as device time
// passes, and the device time burned in as "hh:mm:ss.mmm" below the capture
// index band (which the camera stamps over the top rows afterwards). The
// picture depends only on (deviceUs, width, height); what does not move is
// computed once per size.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/media/media_sim.h"

namespace sim {

class RoadScene final : public os::sim::PictureSource {
public:
    void Fill(std::uint32_t index, std::int64_t deviceUs, int width, int height, std::uint8_t* yv12) override;

private:
    struct Row {
        double distance = 0;  // metres ahead of the camera seen on this row; 0 above the horizon
        int center = 0;       // x of the road's centre line
        int dashHalf = 0;     // half-width of the centre marking, pixels
    };
    void Prepare(int width, int height);

    int width_ = 0;
    int height_ = 0;
    int horizon_ = 0;
    std::vector<std::uint8_t> background_;  // the YV12 picture of what does not move
    std::vector<Row> rows_;
};

}  // namespace sim
