#include "image/jpeg_reader.h"

// jpeglib.h uses FILE and size_t without including their headers.
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "picture/byte_cursor.h"

namespace bitmosaic {

// Everything libjpeg's callbacks and the jump back need, free of C++ objects
// with destructors: libjpeg reports errors through error_exit, which jumps
// back to the step that called the library.
struct JpegDecoder {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  jpeg_progress_mgr progress;
  jpeg_source_mgr source;
  std::jmp_buf jump;
  bool created;
  bool too_many_scans;
  bool too_much_work;
  int counted_scan;              // the last scan whose blocks were counted
  std::uint64_t blocks_scanned;  // blocks read by the scans so far
  ImageReader reader;
  std::uint8_t piece[64 * 1024];  // the file's bytes libjpeg works through
  // The first Exif segment's TIFF data (a segment holds at most 65533 bytes).
  std::uint8_t exif[64 * 1024];
  std::size_t exif_size;
  bool has_exif;
  int components;  // of each decoded pixel: 3 (RGB), or 4 (CMYK, turned into RGB here)
  char problem[JMSG_LENGTH_MAX];
};

namespace {

JpegDecoder& decoder_of(j_common_ptr info) { return *static_cast<JpegDecoder*>(info->client_data); }

[[noreturn]] void stop(j_common_ptr info) {
  JpegDecoder& decoder = decoder_of(info);
  (*info->err->format_message)(info, decoder.problem);
  std::longjmp(decoder.jump, 1);
}

[[noreturn]] void stop_with(j_decompress_ptr info, int message) {
  info->err->msg_code = message;
  stop(reinterpret_cast<j_common_ptr>(info));
}

// The warnings that mean the data is corrupt: libjpeg would go on and show
// grey or smeared blocks.
constexpr int kCorruptDataWarnings[] = {
    JWRN_ARITH_BAD_CODE, JWRN_BOGUS_PROGRESSION, JWRN_EXTRANEOUS_DATA, JWRN_HIT_MARKER,
    JWRN_HUFF_BAD_CODE,  JWRN_JPEG_EOF,          JWRN_MUST_RESYNC,     JWRN_NOT_SEQUENTIAL,
};

void on_message(j_common_ptr info, int level) {
  if (level == -1 && std::find(std::begin(kCorruptDataWarnings), std::end(kCorruptDataWarnings),
                               info->err->msg_code) != std::end(kCorruptDataWarnings))
    stop(info);
}

void no_output(j_common_ptr) {}

// Called as each scan's data is taken in: a scan past the limit, or one
// that takes the blocks read past theirs, ends the decoding before its
// coefficients are worked on.
void count_scans(j_common_ptr info) {
  if (!info->is_decompressor) return;
  JpegDecoder& decoder = decoder_of(info);
  const int scan = decoder.info.input_scan_number;
  if (scan > kMostJpegScans) {
    decoder.too_many_scans = true;
    std::snprintf(decoder.problem, sizeof decoder.problem, "more than %d scans", kMostJpegScans);
    std::longjmp(decoder.jump, 1);
  }
  if (scan == decoder.counted_scan || !jpeg_has_multiple_scans(&decoder.info)) return;
  decoder.counted_scan = scan;
  for (int c = 0; c < decoder.info.comps_in_scan; ++c) {
    const jpeg_component_info& component = *decoder.info.cur_comp_info[c];
    decoder.blocks_scanned +=
        std::uint64_t{component.width_in_blocks} * component.height_in_blocks;
  }
  if (decoder.blocks_scanned <= kMostJpegBlockScans) return;
  decoder.too_much_work = true;
  std::snprintf(decoder.problem, sizeof decoder.problem, "more than %llu blocks read by its scans",
                static_cast<unsigned long long>(kMostJpegBlockScans));
  std::longjmp(decoder.jump, 1);
}

// The source: pieces of the file, read as libjpeg asks for them. A file
// that ends early is damaged, as libjpeg's own warning says.
void start_source(j_decompress_ptr) {}
void end_source(j_decompress_ptr) {}

boolean next_piece(j_decompress_ptr info) {
  JpegDecoder& decoder = decoder_of(reinterpret_cast<j_common_ptr>(info));
  const std::size_t count =
      decoder.reader.read(decoder.reader.context, decoder.piece, sizeof decoder.piece);
  if (count == 0) stop_with(info, JWRN_JPEG_EOF);
  decoder.source.next_input_byte = decoder.piece;
  decoder.source.bytes_in_buffer = count;
  return TRUE;
}

void skip_bytes(j_decompress_ptr info, long count) {
  jpeg_source_mgr& source = *info->src;
  if (count <= 0) return;
  auto remaining = static_cast<std::size_t>(count);
  while (remaining > source.bytes_in_buffer) {
    remaining -= source.bytes_in_buffer;
    next_piece(info);
  }
  source.next_input_byte += remaining;
  source.bytes_in_buffer -= remaining;
}

std::uint8_t next_byte(j_decompress_ptr info) {
  jpeg_source_mgr& source = *info->src;
  if (source.bytes_in_buffer == 0) next_piece(info);
  --source.bytes_in_buffer;
  return *source.next_input_byte++;
}

// APP1 segments: the first that holds Exif data is kept for its
// orientation, every other one is read past.
boolean note_exif(j_decompress_ptr info) {
  JpegDecoder& decoder = decoder_of(reinterpret_cast<j_common_ptr>(info));
  std::size_t length = static_cast<std::size_t>(next_byte(info)) << 8;
  length |= next_byte(info);
  if (length < 2) stop_with(info, JERR_BAD_LENGTH);
  length -= 2;
  static constexpr std::uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (decoder.has_exif || length < sizeof kExif) {
    skip_bytes(info, static_cast<long>(length));
    return TRUE;
  }
  std::uint8_t mark[sizeof kExif];
  for (std::uint8_t& byte : mark) byte = next_byte(info);
  length -= sizeof kExif;
  if (std::memcmp(mark, kExif, sizeof kExif) != 0) {
    skip_bytes(info, static_cast<long>(length));
    return TRUE;
  }
  // A segment's length is 16 bits, so it always fits; checked all the same,
  // as every length a file states is.
  if (length > sizeof decoder.exif) {
    skip_bytes(info, static_cast<long>(length));
    return TRUE;
  }
  for (std::size_t i = 0; i < length; ++i) decoder.exif[i] = next_byte(info);
  decoder.exif_size = length;
  decoder.has_exif = true;
  return TRUE;
}

// The orientation tag (0x0112, one SHORT) of the first image directory of
// EXIF's TIFF data, in either byte order; 1 where there is none. Every
// offset and count the data states is checked against what it holds.
int exif_orientation(std::span<const std::uint8_t> tiff) {
  ByteCursor in(tiff);
  const std::span<const std::uint8_t> order = in.take(2);
  if (order.empty()) return 1;
  const bool big_endian = order[0] == 'M' && order[1] == 'M';
  if (!big_endian && !(order[0] == 'I' && order[1] == 'I')) return 1;
  const auto u16 = [big_endian](ByteCursor& at) { return big_endian ? at.u16_be() : at.u16_le(); };
  const auto u32 = [big_endian](ByteCursor& at) { return big_endian ? at.u32_be() : at.u32_le(); };
  if (u16(in) != 42) return 1;
  const std::uint32_t directory_at = u32(in);
  if (in.overrun) return 1;
  ByteCursor directory = in.from(directory_at);
  const unsigned entries = u16(directory);
  for (unsigned i = 0; i < entries && !directory.overrun; ++i) {
    ByteCursor entry = directory.part(12);
    if (entry.overrun) break;
    if (u16(entry) != 0x0112) continue;
    constexpr unsigned kShort = 3;
    const unsigned type = u16(entry);
    if (type != kShort || u32(entry) != 1) return 1;
    const unsigned value = u16(entry);
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

// Adobe's CMYK JPEGs store every sample inverted; others as they are.
void cmyk_to_rgb(std::uint8_t* row, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x) {
    const std::uint8_t* cmyk = row + 4 * std::size_t{x};
    unsigned ink[4];
    for (int c = 0; c < 4; ++c) ink[c] = inverted ? cmyk[c] : 255u - cmyk[c];
    std::uint8_t* rgb = row + 3 * std::size_t{x};
    for (int c = 0; c < 3; ++c) rgb[c] = static_cast<std::uint8_t>((ink[c] * ink[3] + 127) / 255);
  }
}

}  // namespace

void JpegDecoderDeleter::operator()(JpegDecoder* decoder) const {
  if (decoder->created) jpeg_destroy_decompress(&decoder->info);
  delete decoder;
}

bool has_jpeg_signature(std::span<const std::uint8_t> file) {
  return file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8 && file[2] == 0xFF;
}

JpegReader open_jpeg(ImageReader source) {
  JpegReader reader(new JpegDecoder{});
  reader->reader = source;
  return reader;
}

JpegHeader read_jpeg_header(JpegDecoder& decoder) {
  decoder.info.err = jpeg_std_error(&decoder.errors);
  decoder.errors.error_exit = stop;
  decoder.errors.emit_message = on_message;
  decoder.errors.output_message = no_output;
  decoder.info.client_data = &decoder;
  if (setjmp(decoder.jump)) return JpegHeader{};
  jpeg_create_decompress(&decoder.info);
  decoder.created = true;
  decoder.progress.progress_monitor = count_scans;
  decoder.info.progress = &decoder.progress;
  decoder.source.init_source = start_source;
  decoder.source.fill_input_buffer = next_piece;
  decoder.source.skip_input_data = skip_bytes;
  decoder.source.resync_to_restart = jpeg_resync_to_restart;
  decoder.source.term_source = end_source;
  decoder.info.src = &decoder.source;
  jpeg_set_marker_processor(&decoder.info, JPEG_APP0 + 1, note_exif);
  jpeg_read_header(&decoder.info, TRUE);
  const bool cmyk =
      decoder.info.jpeg_color_space == JCS_CMYK || decoder.info.jpeg_color_space == JCS_YCCK;
  decoder.info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  decoder.components = cmyk ? 4 : 3;
  JpegHeader header;
  header.read = true;
  header.width = static_cast<int>(decoder.info.image_width);
  header.height = static_cast<int>(decoder.info.image_height);
  header.orientation = decoder.has_exif ? exif_orientation(std::span(decoder.exif, decoder.exif_size)) : 1;
  return header;
}

bool choose_jpeg_scale(JpegDecoder& decoder, int eighths, int& width, int& height) {
  if (setjmp(decoder.jump)) return false;
  decoder.info.scale_num = static_cast<unsigned>(eighths);
  decoder.info.scale_denom = 8;
  jpeg_calc_output_dimensions(&decoder.info);
  width = static_cast<int>(decoder.info.output_width);
  height = static_cast<int>(decoder.info.output_height);
  return true;
}

bool jpeg_decoding_memory(JpegDecoder& decoder, std::uint64_t& memory) {
  if (setjmp(decoder.jump)) return false;
  const bool whole_image = jpeg_has_multiple_scans(&decoder.info);
  const auto round_up = [](std::uint64_t value, int multiple) {
    const auto step = static_cast<std::uint64_t>(multiple);
    return (value + step - 1) / step * step;
  };
  std::uint64_t total = 0;
  for (int c = 0; c < decoder.info.num_components; ++c) {
    const jpeg_component_info& component = decoder.info.comp_info[c];
    const std::uint64_t across = round_up(component.width_in_blocks, component.h_samp_factor);
    const std::uint64_t down = round_up(component.height_in_blocks, component.v_samp_factor);
    if (whole_image) total += across * down * sizeof(JBLOCK);
    // The main buffer's row groups, context rows for smooth upsampling
    // included: at most three iMCU rows of the scaled component.
    const std::uint64_t scaled = static_cast<std::uint64_t>(component.DCT_scaled_size);
    total += across * scaled * 3 * static_cast<std::uint64_t>(component.v_samp_factor) * scaled;
  }
  // Upsampling and colour conversion: two row groups of every component.
  total += std::uint64_t{decoder.info.output_width} *
           static_cast<std::uint64_t>(decoder.info.num_components + decoder.components) *
           static_cast<std::uint64_t>(decoder.info.max_v_samp_factor) * 2;
  memory = total;
  return true;
}

JpegRows read_jpeg_rows(JpegDecoder& decoder, Resampling& resampling, std::uint64_t memory_limit) {
  // Made before the jump is set, so that a jump back destroys nothing.
  std::vector<std::uint8_t> row(std::size_t{decoder.info.output_width} *
                                static_cast<std::size_t>(decoder.components));
  if (setjmp(decoder.jump)) {
    if (decoder.too_many_scans) return JpegRows::too_many_scans;
    return decoder.too_much_work ? JpegRows::too_much_work : JpegRows::damaged;
  }
  decoder.info.mem->max_memory_to_use = static_cast<long>(memory_limit);
  jpeg_start_decompress(&decoder.info);
  const bool inverted = decoder.info.saw_Adobe_marker;
  while (decoder.info.output_scanline < decoder.info.output_height) {
    const int y = static_cast<int>(decoder.info.output_scanline);
    JSAMPROW rows[1] = {row.data()};
    if (jpeg_read_scanlines(&decoder.info, rows, 1) != 1) stop_with(&decoder.info, JERR_INPUT_EOF);
    if (decoder.components == 4) cmyk_to_rgb(row.data(), decoder.info.output_width, inverted);
    add_row(resampling, y, row.data(), 3);
  }
  jpeg_finish_decompress(&decoder.info);
  return JpegRows::complete;
}

std::string jpeg_problem(const JpegDecoder& decoder) { return decoder.problem; }

}  // namespace bitmosaic
