// What each command does once its pictures are loaded: the progress line it
// prints, if any, then the effect or report with the numbers it needs. The
// command table names one of these per row by its step.
#pragma once

#include "cli/command_table.h"
#include "formats/picture_formats.h"

namespace bitmosaic {

void apply_mask(const CommandSettings& settings, RunPictures& pictures);
void apply_del(const CommandSettings& settings, RunPictures& pictures);
void apply_crop(const CommandSettings& settings, RunPictures& pictures);
void apply_delv(const CommandSettings& settings, RunPictures& pictures);
void apply_filter(const CommandSettings& settings, RunPictures& pictures);
void apply_replace(const CommandSettings& settings, RunPictures& pictures);
void apply_insert(const CommandSettings& settings, RunPictures& pictures);
void apply_info(const CommandSettings& settings, RunPictures& pictures);
void apply_show(const CommandSettings& settings, RunPictures& pictures);
void apply_merge(const CommandSettings& settings, RunPictures& pictures);
void apply_move(const CommandSettings& settings, RunPictures& pictures);
void apply_colcopy(const CommandSettings& settings, RunPictures& pictures);
void apply_convert(const CommandSettings& settings, RunPictures& pictures);
void apply_import(const CommandSettings& settings, RunPictures& pictures);

// The function of `step`; nullptr for Step::none.
CommandFunction step_function(Step step);

}  // namespace bitmosaic
