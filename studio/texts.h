#ifndef STUDIO_TEXTS_H
#define STUDIO_TEXTS_H

#include <QString>

// Every word the studio shows, in English and Simplified Chinese; the window switches between
// them while it runs. What the conversion engine reports (a reader's reason, what a conversion
// loses) comes in the engine's own words and is shown as it is.
namespace Texts {

enum Language { English = 0, Chinese = 1 };

#define STUDIO_TEXTS(X)                                                                                            \
    X(AppName, "Lutwright Studio", "Lutwright Studio")                                                             \
    X(MenuFile, "&File", "文件(&F)")                                                                               \
    X(MenuConvert, "&Convert", "转换(&C)")                                                                         \
    X(MenuInspect, "&Inspect", "检查(&I)")                                                                         \
    X(MenuLanguage, "&Language", "语言(&L)")                                                                       \
    X(MenuHelp, "&Help", "帮助(&H)")                                                                               \
    X(AddFiles, "Add &Files…", "添加文件(&F)…")                                                                    \
    X(AddFolder, "Add F&older…", "添加文件夹(&O)…")                                                                \
    X(RemoveFiles, "&Remove from List", "从列表中移除(&R)")                                                        \
    X(ClearList, "C&lear List", "清空列表(&L)")                                                                    \
    X(Quit, "&Quit", "退出(&Q)")                                                                                   \
    X(ConvertAll, "&Convert All", "全部转换(&C)")                                                                  \
    X(ConvertSelected, "&Convert Selected", "转换所选(&C)")                                                        \
    X(CancelAction, "Ca&ncel", "取消(&N)")                                                                         \
    X(ChooseFolder, "Choose Output &Folder…", "选择输出文件夹(&F)…")                                               \
    X(CompareWith, "Compare with…", "与…比较")                                                                     \
    X(CompareOutput, "Compare with the Converted &Output", "与转换结果比较(&O)")                                   \
    X(ChoosePicture, "Choose a &Picture…", "选择图片(&P)…")                                                        \
    X(UseChart, "Use the Built-in &Chart", "使用内置色卡(&C)")                                                     \
    X(About, "&About Lutwright Studio", "关于 Lutwright Studio(&A)")                                               \
    X(ToolBar, "Main", "主工具栏")                                                                                 \
    X(ColumnName, "Name", "名称")                                                                                  \
    X(ColumnFormat, "Format", "格式")                                                                              \
    X(ColumnDimension, "Dimension", "维度")                                                                        \
    X(ColumnSizes, "Sizes", "尺寸")                                                                                \
    X(ColumnDomain, "Input Domain", "输入域")                                                                      \
    X(ColumnRange, "Output Range", "输出范围")                                                                     \
    X(ColumnState, "State", "状态")                                                                                \
    X(ColumnDetails, "Details", "详情")                                                                            \
    X(StateReading, "Reading…", "读取中…")                                                                         \
    X(StateReady, "Ready", "就绪")                                                                                 \
    X(StateUnreadable, "Cannot be read", "无法读取")                                                               \
    X(StateWaiting, "Waiting", "等待中")                                                                           \
    X(StateConverting, "Converting…", "转换中…")                                                                   \
    X(StateDone, "Done", "完成")                                                                                   \
    X(StateWarning, "Done with a warning", "完成（有警告）")                                                       \
    X(StateFailed, "Failed", "失败")                                                                               \
    X(StateNotConverted, "Not converted", "未转换")                                                                \
    X(Chain, "chain", "处理链")                                                                                    \
    X(Steps, "%1 steps", "%1 个步骤")                                                                              \
    X(OneStep, "1 step", "1 个步骤")                                                                               \
    X(DropHint, "Drop LUT files or folders here, or choose File ▸ Add Files…",                                    \
      "将 LUT 文件或文件夹拖放到此处，或选择“文件 ▸ 添加文件…”")                                                  \
    X(InputGroup, "Input", "输入")                                                                                 \
    X(ReadAs, "Read as:", "读取格式：")                                                                            \
    X(ByName, "By the file name", "按文件名判断")                                                                  \
    X(OutputGroup, "Output", "输出")                                                                               \
    X(Device, "Device:", "设备：")                                                                                 \
    X(NoDevice, "None", "无")                                                                                      \
    X(DeviceTip,                                                                                                   \
      "A camera, monitor or LUT box: its format and lattice sizes; the file name, title and size are made to fit " \
      "it, and each change is shown as a warning.",                                                               \
      "摄像机、监视器或 LUT 盒：使用其格式与网格尺寸；文件名、标题和尺寸会调整为设备可接受的形式，每项调整都显示为警告。") \
    X(InputRange, "Input range:", "输入范围：")                                                                    \
    X(FullRange, "Full (0 – 1023)", "全范围（0 – 1023）")                                                          \
    X(LegalRange, "Legal (64 – 940)", "有限范围（64 – 940）")                                                      \
    X(RangeTip, "The signal range the input LUTs were made for; a device of the other range gets them rescaled.", \
      "输入 LUT 所针对的信号范围；若设备使用另一种范围，LUT 会相应换算。")                                         \
    X(Format, "Format:", "格式：")                                                                                 \
    X(LatticeSize, "Lattice size:", "3D 网格尺寸：")                                                               \
    X(Length1D, "1D length:", "1D 长度：")                                                                         \
    X(Keep, "Keep", "保持原样")                                                                                    \
    X(Fixed, "Always %1", "固定为 %1")                                                                             \
    X(Bits, "Bits:", "位深：")                                                                                     \
    X(FormatDefault, "Default (%1)", "默认（%1）")                                                                 \
    X(NoChoice, "—", "—")                                                                                          \
    X(Headerless, "Headerless (no Mesh lines)", "无头（不写 Mesh 行）")                                           \
    X(DataOrder, "Data order:", "数据顺序：")                                                                      \
    X(TableOrder, "Table order:", "表格顺序：")                                                                    \
    X(OwnOrder, "The format's own", "格式自身的顺序")                                                              \
    X(DataRgb, "R G B", "R G B")                                                                                   \
    X(DataBgr, "B G R", "B G R")                                                                                   \
    X(TableRgb, "Blue index fastest", "蓝色索引最快")                                                              \
    X(TableBgr, "Red index fastest", "红色索引最快")                                                               \
    X(Strict, "Strict: nothing may be lost", "严格：不允许任何损失")                                               \
    X(StrictTip, "A file whose conversion would change what it does fails instead of being written.",             \
      "转换会改变其效果的文件将不会写出，并标记为失败。")                                                          \
    X(Folder, "Folder:", "文件夹：")                                                                               \
    X(Browse, "Browse…", "浏览…")                                                                                  \
    X(Pattern, "File name:", "文件名：")                                                                           \
    X(PatternTip,                                                                                                  \
      "{name}: the input's name without its extension; {ext}: its extension; {format}: the output format; "        \
      "{folder}: its folder within the added folder. The format's extension is added.",                           \
      "{name}：输入文件名（不含扩展名）；{ext}：其扩展名；{format}：输出格式；{folder}：其在所添加文件夹中的子文件夹。" \
      "会自动加上格式的扩展名。")                                                                                  \
    X(CancelButton, "Cancel", "取消")                                                                              \
    X(Progress, "%v of %m", "%v / %m")                                                                             \
    X(PreviewTab, "Preview", "预览")                                                                               \
    X(CompareTab, "Compare", "比较")                                                                               \
    X(PreviewEmpty, "Select a file to see what it does. Drop a picture here to see it graded.",                    \
      "选择一个文件以查看其效果。将图片拖放到此处即可查看调色效果。")                                              \
    X(Before, "Before", "调色前")                                                                                  \
    X(After, "After", "调色后")                                                                                    \
    X(GreyAxis, "Grey axis", "灰轴")                                                                               \
    X(RedAxis, "Red axis", "红轴")                                                                                 \
    X(GreenAxis, "Green axis", "绿轴")                                                                             \
    X(BlueAxis, "Blue axis", "蓝轴")                                                                               \
    X(ROut, "R out", "R 输出")                                                                                     \
    X(GOut, "G out", "G 输出")                                                                                     \
    X(BOut, "B out", "B 输出")                                                                                     \
    X(Identity, "output = input", "输出 = 输入")                                                                   \
    X(PlotNote, "Each plot: the LUT's output as its input runs from 0 to 1 along that axis.",                      \
      "每幅图：输入沿该轴从 0 变化到 1 时 LUT 的输出。")                                                           \
    X(CompareEmpty, "Choose Inspect ▸ Compare with… to measure how far two LUTs are apart.",                      \
      "选择“检查 ▸ 与…比较”以度量两个 LUT 的差异。")                                                               \
    X(Comparing, "Comparing…", "比较中…")                                                                          \
    X(CompareSides, "A  %1: %2, %3\nB  %4: %5, %6", "A  %1：%2，%3\nB  %4：%5，%6")                                \
    X(ComparedAt, "Compared at %1 colours: the nodes of a %2-point lattice and of both files.",                    \
      "在 %1 个颜色处比较：%2 点网格的节点及两个文件的节点。")                                                     \
    X(Channel, "Channel", "通道")                                                                                  \
    X(Largest, "Largest", "最大差异")                                                                              \
    X(Codes10, "10-bit codes", "10 位码值")                                                                        \
    X(Codes12, "12-bit codes", "12 位码值")                                                                        \
    X(Mean, "Mean", "平均")                                                                                        \
    X(Percentile99, "99th percentile", "第 99 百分位")                                                             \
    X(AtInput, "At input", "所在输入")                                                                             \
    X(AGives, "A gives", "A 的输出")                                                                               \
    X(BGives, "B gives", "B 的输出")                                                                               \
    X(LanguageCaption, "语言/Language:", "语言/Language:")                                                         \
    X(AddFilesTitle, "Add LUT Files", "添加 LUT 文件")                                                             \
    X(AddFolderTitle, "Add a Folder of LUTs", "添加 LUT 文件夹")                                                   \
    X(OutputFolderTitle, "Choose the Output Folder", "选择输出文件夹")                                             \
    X(CompareTitle, "Choose a LUT to Compare With", "选择要比较的 LUT")                                            \
    X(PictureTitle, "Choose a Picture", "选择图片")                                                                \
    X(LutFilter, "LUT files (%1)", "LUT 文件 (%1)")                                                                \
    X(ImageFilter, "Pictures (%1)", "图片 (%1)")                                                                   \
    X(AllFilter, "All files (*)", "所有文件 (*)")                                                                  \
    X(NeedFolder, "Choose an output folder first.", "请先选择输出文件夹。")                                        \
    X(BadPattern, "The file name must name a file inside the output folder.", "文件名必须指向输出文件夹内的文件。") \
    X(NoFiles, "Add LUT files first.", "请先添加 LUT 文件。")                                                      \
    X(BadSize, "“%1” is not a size %2 holds.", "%2 不支持尺寸“%1”。")                                              \
    X(CannotCreate, "cannot create the folder %1", "无法创建文件夹 %1")                                            \
    X(Running, "Converting %1 files…", "正在转换 %1 个文件…")                                                      \
    X(Cancelling, "Cancelling: the files being written finish…", "正在取消：正在写入的文件会先完成…")              \
    X(Finished, "%1 written (%2 with a warning), %3 failed, %4 not converted.",                                  \
      "已写出 %1 个（%2 个有警告），%3 个失败，%4 个未转换。")                                                     \
    X(ReplacesItself, "the output would replace the input", "输出会覆盖输入文件")                                  \
    X(ReplacesInput, "the output %1 would replace the input %2", "输出 %1 会覆盖输入文件 %2")                      \
    X(AlreadyMade, "the output %1 is already made from %2", "输出 %1 已由 %2 生成")                               \
    X(StrictFailure, "not written (strict): %1", "未写出（严格模式）：%1")                                         \
    X(FailedReason, "failed", "失败")                                                                              \
    X(LossWarning, "warning: %1", "警告：%1")                                                                      \
    X(AboutTitle, "About Lutwright Studio", "关于 Lutwright Studio")                                               \
    X(AboutText,                                                                                                   \
      "<h3>Lutwright Studio %1</h3><p>Converts colour look-up tables between formats, shows what they do "        \
      "and measures how far two of them are apart.</p><p>It uses the same conversion engine as lutwright-cli.</p>", \
      "<h3>Lutwright Studio %1</h3><p>在各种格式之间转换颜色查找表，显示其效果，并度量两个查找表之间的差异。</p>" \
      "<p>它与 lutwright-cli 使用同一个转换引擎。</p>")

enum class Id {
#define STUDIO_TEXT_ID(name, en, zh) name,
    STUDIO_TEXTS(STUDIO_TEXT_ID)
#undef STUDIO_TEXT_ID
    Count
};

QString text(Id id, Language language);

}

#endif
