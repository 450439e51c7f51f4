#include "Platform/image/ImageScaler.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orvaneh {

namespace {

// The source pixels one target pixel is made of, and their weights (summing to 1).
struct Contribution {
    int first = 0;
    std::vector<float> weights;
};

std::vector<Contribution> contributions(int sourceLength, int targetLength) {
    std::vector<Contribution> all(static_cast<std::size_t>(targetLength));
    const double scale = static_cast<double>(sourceLength) / targetLength;
    for (int target = 0; target < targetLength; ++target) {
        auto& contribution = all[static_cast<std::size_t>(target)];
        if (scale >= 1) {
            // The source interval [start, end) the target pixel covers.
            const double start = target * scale;
            const double end = std::min((target + 1) * scale, static_cast<double>(sourceLength));
            const int first = static_cast<int>(start);
            const int last = std::min(static_cast<int>(std::ceil(end)), sourceLength) - 1;
            contribution.first = first;
            for (int source = first; source <= last; ++source) {
                const double covered =
                    std::min(end, source + 1.0) - std::max(start, static_cast<double>(source));
                contribution.weights.push_back(static_cast<float>(std::max(covered, 0.0) / (end - start)));
            }
        } else {
            const double centre = std::clamp((target + 0.5) * scale - 0.5, 0.0, sourceLength - 1.0);
            const int left = static_cast<int>(centre);
            const auto fraction = static_cast<float>(centre - left);
            contribution.first = left;
            contribution.weights.push_back(1 - fraction);
            if (left + 1 < sourceLength) {
                contribution.weights.push_back(fraction);
            }
        }
    }
    return all;
}

} // namespace

RgbImage ImageScaler::resize(const RgbImage& image, int width, int height) {
    if (image.empty() || width < 1 || height < 1) {
        return {};
    }
    const auto columns = contributions(image.width(), width);
    const auto rows = contributions(image.height(), height);
    // For each source row, the target rows it contributes to: the source is read once, a row
    // at a time, and only the target's sums are held.
    std::vector<std::vector<std::pair<int, float>>> targetsOfRow(static_cast<std::size_t>(image.height()));
    for (int target = 0; target < height; ++target) {
        const auto& contribution = rows[static_cast<std::size_t>(target)];
        for (std::size_t k = 0; k < contribution.weights.size(); ++k) {
            targetsOfRow[static_cast<std::size_t>(contribution.first) + k].emplace_back(
                target, contribution.weights[k]);
        }
    }
    const auto rowSamples = static_cast<std::size_t>(width) * 3;
    std::vector<float> sums(rowSamples * static_cast<std::size_t>(height), 0.0f);
    std::vector<float> scaledRow(rowSamples);
    for (int sourceRow = 0; sourceRow < image.height(); ++sourceRow) {
        const auto& targets = targetsOfRow[static_cast<std::size_t>(sourceRow)];
        if (targets.empty()) {
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const auto& contribution = columns[static_cast<std::size_t>(x)];
            float red = 0;
            float green = 0;
            float blue = 0;
            const std::uint8_t* source = image.pixel(contribution.first, sourceRow);
            for (float weight : contribution.weights) {
                red += weight * source[0];
                green += weight * source[1];
                blue += weight * source[2];
                source += 3;
            }
            float* out = &scaledRow[static_cast<std::size_t>(x) * 3];
            out[0] = red;
            out[1] = green;
            out[2] = blue;
        }
        for (const auto& [target, weight] : targets) {
            float* sum = &sums[static_cast<std::size_t>(target) * rowSamples];
            for (std::size_t i = 0; i < rowSamples; ++i) {
                sum[i] += weight * scaledRow[i];
            }
        }
    }
    RgbImage result(width, height);
    std::uint8_t* out = result.data();
    for (float value : sums) {
        *out++ = static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
    }
    return result;
}

} // namespace orvaneh
