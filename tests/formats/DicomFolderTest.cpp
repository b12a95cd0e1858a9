// DICOM folders as scanners and exports fill them: trees, files that are not
// slices or not DICOM at all, gaps, repeats, tilts, cut slices, multi-frame.
#include "FormatFiles.h"

#include <fstream>
#include <functional>
#include <gdcmTrace.h>
#include <gdcmWriter.h>
#include <gtest/gtest.h>

namespace {

short odd(size_t i) { // stored as ramp(i) with slope 2 and intercept -1
    return short(2 * ramp(i) - 1);
}

using Image = itk::Image<short, 3>;
const double axes[3][3] = {{0.6, 0.8, 0}, {0, 0, -1}, {-0.8, 0.6, 0}}; // row, column, normal

// An image of sizes placed on axes, its first index at depth along the normal.
Image::Pointer placed(const std::vector<size_t>& sizes, double step, size_t first, double depth,
                      bool tilted = false, short (*value)(size_t) = ramp) {
    auto image = makeImage<short, 3>(sizes, {0.5, 0.75, step}, value, first);
    Image::DirectionType d;
    Image::PointType o;
    for (int a = 0; a < 3; ++a)
        for (int k = 0; k < 3; ++k)
            d(a, k) = tilted ? a == k : axes[k][a], o[a] = depth * axes[2][a];
    image->SetDirection(d);
    image->SetOrigin(o);
    itk::EncapsulateMetaData<std::string>(image->GetMetaDataDictionary(), "0008|0060", "MR");
    return image;
}

// 4 x 3 slices at the given depths, slice k holding ramp(12 k + i), named
// s-N ... s-1 so that the names run against the depths.
void writeSlices(const std::string& folder, const std::vector<double>& depths, size_t tilted = 9) {
    for (size_t k = 0; k < depths.size(); ++k)
        writeDicomSlice(placed({4, 3, 1}, 1, 12 * k, depths[k], k == tilted).GetPointer(),
                        folder + "/s-" + std::to_string(depths.size() - k) + ".dcm", "1.2.3");
}

// What no image writer makes: a file of these elements, 4 x 3 pixels at z if
// samples is not 0; a classic multi-frame header where frames is given.
void writeElements(const std::string& path, const std::string& sop, int samples = 0, int z = 0,
                   const std::string& frames = "") {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    gdcm::Writer w;
    w.SetFileName(path.c_str());
    w.GetFile().GetHeader().SetDataSetTransferSyntax(gdcm::TransferSyntax::ExplicitVRLittleEndian);
    const auto us = [](int v) { return std::string{char(v), 0}; };
    const std::vector<std::tuple<uint32_t, std::string, std::string>> all = {
        {0x00080016, "UI", sop},
        {0x00080018, "UI", "1.2.4." + std::to_string(z)},
        {0x00180088, "DS", frames.empty() ? "" : "1"},
        {0x0020000e, "UI", "1.2.5"},
        {0x00200032, "DS", "0\\0\\" + std::to_string(z)},
        {0x00200037, "DS", "1\\0\\0\\0\\1\\0"},
        {0x00280002, "US", us(samples)},
        {0x00280004, "CS", samples == 3 ? "RGB" : "MONOCHROME2"},
        {0x00280008, "IS", frames},
        {0x00280010, "US", us(3)},
        {0x00280011, "US", us(4)},
        {0x00280100, "US", us(8)},
        {0x3004000c, "DS", "0\\2"}, // with no Number of Frames the DICOM library aborted
        {0x7fe00010, "OB", std::string(12 * samples, '\1')}};
    for (auto [tag, vr, value] : all) {
        if (tag > 0x00200000 && !samples) break;
        if (value.empty() && tag != 0x7fe00010) continue;
        if (value.size() % 2) value += vr == "UI" ? '\0' : ' ';
        gdcm::DataElement e(gdcm::Tag(uint16_t(tag >> 16), uint16_t(tag)));
        e.SetVR(gdcm::VR::GetVRType(vr.c_str()));
        e.SetByteValue(value.data(), uint32_t(value.size()));
        w.GetFile().GetDataSet().Insert(e);
    }
    ASSERT_TRUE(w.Write()) << path;
}

} // namespace

TEST(DicomFolder, TreesOddFilesGapsRepeatsTiltsCutsAndMultiFrame) {
    gdcm::Trace::WarningOff(); // the image writer's
    TempDir dir;
    const std::string dose =
        "/usr/lib/python3/dist-packages/pydicom/data/test_files/rtdose_1frame.dcm";
    const bool pydicom = std::filesystem::exists(dose);
    const std::string rt = "1.2.840.10008.5.1.4.1.1.481.2";
    const auto exportTree = [&](const std::string& d) {
        writeSlices(d + "/S1/I", {0, 2, 4});
        writeElements(d + "/DICOMDIR", "1.2.840.10008.1.3.10");
        writeElements(d + "/S2/dose", rt, 1);
        if (pydicom) std::filesystem::copy_file(dose, d + "/S2/rtdose_1frame.dcm");
        std::ofstream(d + "/README") << "exported\n";
        std::filesystem::copy_file(d + "/S1/I/s-1.dcm", d + "/S1/cut"); // cut in its header
        std::filesystem::resize_file(d + "/S1/cut", 140);
    };
    const auto slices = [](std::vector<double> depths, size_t tilted = 9) {
        return [=](const std::string& d) { writeSlices(d, depths, tilted); };
    };
    const auto cut = [](const std::string& d) {
        writeSlices(d, {0, 1, 2});
        std::filesystem::resize_file(d + "/s-2.dcm",
                                     std::filesystem::file_size(d + "/s-2.dcm") - 10);
    };
    const auto colour = [](const std::string& d) {
        writeElements(d + "/a", "1.2.840.10008.5.1.4.1.1.7", 3, 0);
        writeElements(d + "/b", "1.2.840.10008.5.1.4.1.1.7", 3, 1);
    };
    const auto multiFrame = [](const std::string& d) {
        auto volume = placed({4, 3, 5}, 2, 0, -1, false, odd);
        itk::EncapsulateMetaData<std::string>(volume->GetMetaDataDictionary(), "0028|1052", "-1");
        itk::EncapsulateMetaData<std::string>(volume->GetMetaDataDictionary(), "0028|1053", "2");
        std::filesystem::create_directories(d);
        writeImage(volume.GetPointer(), d + "/volume.dcm", itk::GDCMImageIO::New());
    };
    const std::string d = dir / "";
    const std::string exportNote =
        d + "export: left out " + std::to_string(pydicom ? 5 : 4) +
        " files: " + std::to_string(pydicom ? 3 : 2) +
        " not slices of an image volume (dose, structure sets, reports, directories, images "
        "without a position), 2 not readable as DICOM";
    const std::string gapNote =
        d + "gap: a gap of 3 mm (2 missing slices) after slice 3 of 5 in series 1.2.3 (2 to 5 mm "
            "along the slice normal); the slices are shown 1 mm apart, the regular spacing, with "
            "the gap closed";
    const struct {
        std::string folder;
        std::function<void(const std::string&)> make;
        std::string error;
        std::vector<std::string> notes = {};
        int slices = 0;
        double step = 0;
        short (*value)(size_t) = ramp;
    } rows[] = {
        {d + "export", exportTree, "", {exportNote}, 3, 2},
        {d + "gap", slices({0, 1, 2, 5, 6}), "", {gapNote}, 5, 1},
        {d + "repeat", slices({0, 1, 1, 2}),
         d + "repeat: series 1.2.3 repeats slice positions (4 slices at 3 positions, as echoes, "
             "phases or time points do); only one slice per position can be shown"},
        {d + "tilt", slices({0, 1, 2}, 1),
         d + "tilt: the slices of series 1.2.3 do not share one orientation (a localiser or a "
             "radial scan); only a stack of parallel slices can be shown"},
        {d + "cut", cut,
         d + "cut/s-2.dcm is cut short: 10 of the 24 bytes of its pixel data are missing"},
        {d + "claims", // ten million frames claimed by a file of one
         [](const std::string& d) {
             writeElements(d + "/f", "1.2.840.10008.5.1.4.1.1.4", 1, 0, "9999999");
         },
         d + "claims/f is cut short: 119999976 of the 119999988 bytes of its pixel data are "
             "missing"},
        {d + "colour", colour,
         d + "colour holds colour DICOM images; only scalar volumes can be shown"},
        {d + "frames", multiFrame, "", {}, 5, 2, odd},
        {d + "one.dcm", // a multi-frame file opened on its own, cut
         [&](const std::string& f) {
             multiFrame(d + "whole");
             std::filesystem::copy_file(d + "whole/volume.dcm", f);
             std::filesystem::resize_file(f, std::filesystem::file_size(f) - 10);
         },
         d + "one.dcm is cut short: 10 of the 120 bytes of its pixel data are missing"},
    };
    for (const auto& row : rows) {
        row.make(row.folder);
        const ImageRead r = readImage(row.folder, -1);
        ASSERT_EQ(r.error, row.error) << row.folder;
        EXPECT_EQ(r.notes, row.notes) << row.folder;
        if (!row.error.empty()) continue;
        std::vector<double> want = {4, 3, double(row.slices), .5, .75, row.step, 12. * row.slices};
        std::vector<float> values;
        for (int i = 0; i < 12 * row.slices; ++i)
            values.push_back(row.value(size_t(i)));
        want.insert(want.end(), {values.front(), values.back(), 0});
        want.insert(want.end(), &axes[0][0], &axes[0][0] + 9); // in patient space
        EXPECT_EQ(summary(r), want) << row.folder;
        EXPECT_EQ(r.samples.asFloats(), values) << row.folder;
    }
    const std::string small = std::filesystem::path(dose).parent_path() / "MR_small.dcm";
    if (pydicom) { // a TIFF header in its preamble, yet DICOM
        EXPECT_EQ(readImage(small, -1).error,
                  small + " is a 2D image (64x64x1); a volume needs three axes");
    }
}
