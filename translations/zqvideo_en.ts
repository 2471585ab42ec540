<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AutoCapture</name>
    <message>
        <source>无法把自动拍照的设置写入 %1</source>
        <translation>Could not write the auto capture setting to %1</translation>
    </message>
    <message>
        <source>自动拍照：请把裁边设为“自动裁边”</source>
        <translation>Auto capture: set the crop to “Auto crop”</translation>
    </message>
    <message>
        <source>自动拍照：等待新页面</source>
        <translation>Auto capture: waiting for a new page</translation>
    </message>
    <message>
        <source>自动拍照：请保持静止</source>
        <translation>Auto capture: hold still</translation>
    </message>
    <message>
        <source>自动拍照：保存目录无法访问，请重新设定</source>
        <translation>Auto capture: the save directory cannot be used. Please choose another one.</translation>
    </message>
    <message>
        <source>自动拍照：无法保存，稍后再试</source>
        <translation>Automatic capture: could not save, trying again shortly</translation>
    </message>
</context>
<context>
    <name>BookCapture</name>
    <message>
        <source>无法把书本模式的设置写入 %1</source>
        <translation>Could not write the book mode settings to %1</translation>
    </message>
</context>
<context>
    <name>CameraSwitches</name>
    <message>
        <source>显示这台摄像头的画面</source>
        <translation>Show this camera&apos;s picture</translation>
    </message>
    <message>
        <source>没有找到这台摄像头：插上后按钮即可使用</source>
        <translation>This camera was not found: plug it in and the button can be used</translation>
    </message>
</context>
<context>
    <name>CameraWatch</name>
    <message>
        <source>摄像头无画面</source>
        <translation>No picture from the camera</translation>
    </message>
    <message>
        <source>摄像头已断开，接回后会自动打开</source>
        <translation>The camera is disconnected; it opens again by itself when it is plugged back in</translation>
    </message>
</context>
<context>
    <name>CollectionPdf</name>
    <message>
        <source>没有收集到页面，未生成 PDF</source>
        <translation>No pages were collected, so no PDF was made</translation>
    </message>
    <message>
        <source>保存目录的路径太长</source>
        <translation>the path of the save directory is too long</translation>
    </message>
    <message>
        <source>正在合成 PDF……</source>
        <translation>Making the PDF…</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message numerus="yes">
        <source>PDF：已收集 %n 页</source>
        <translation>
            <numerusform>PDF: %n page collected</numerusform>
            <numerusform>PDF: %n pages collected</numerusform>
        </translation>
    </message>
    <message>
        <source>已取消合成 PDF，收集的页面都在</source>
        <translation>PDF composition cancelled; the collected pages are all kept</translation>
    </message>
    <message>
        <source>PDF 合成失败：%1。已收集的页面都在，可再按“%2”重试</source>
        <translation>Could not make the PDF: %1. The collected pages are kept; press “%2” to try again</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>显示这段说明并退出</source>
        <translation>Show this help and exit</translation>
    </message>
    <message>
        <source>显示版本并退出</source>
        <translation>Show the version and exit</translation>
    </message>
    <message>
        <source>用 USB 文档摄像头拍下文档的页面，并把它们合成 PDF。
窗口的快捷键列在“帮助 → 快捷键”中。</source>
        <translation>Takes pictures of document pages with a USB document camera and makes PDFs of them.
The window&apos;s keys are listed under “Help → Keys”.</translation>
    </message>
</context>
<context>
    <name>HelpMenu</name>
    <message>
        <source>&lt;h3&gt;zqvideo %1&lt;/h3&gt;&lt;p&gt;用 USB 文档摄像头拍下文档的页面，并把它们合成 PDF。&lt;/p&gt;&lt;p&gt;许可证：作者尚未为 zqscan 选定许可证，在此之前保留所有权利。&lt;/p&gt;&lt;p&gt;使用的程序库：%2&lt;/p&gt;</source>
        <translation>&lt;h3&gt;zqvideo %1&lt;/h3&gt;&lt;p&gt;Takes pictures of document pages with a USB document camera and makes PDFs of them.&lt;/p&gt;&lt;p&gt;Licence: the authors have not chosen a licence for zqscan yet; until they do, all rights are reserved.&lt;/p&gt;&lt;p&gt;Libraries used: %2&lt;/p&gt;</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>快捷键</source>
        <translation>Keys</translation>
    </message>
    <message>
        <source>列出窗口的全部快捷键</source>
        <translation>List all the window&apos;s keyboard shortcuts</translation>
    </message>
    <message>
        <source>关于 zqvideo</source>
        <translation>About zqvideo</translation>
    </message>
    <message>
        <source>版本、许可证和使用的程序库</source>
        <translation>Version, licence and the libraries used</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>Action</translation>
    </message>
    <message>
        <source>按键</source>
        <translation>Keys</translation>
    </message>
</context>
<context>
    <name>LeaveOutQuestion</name>
    <message>
        <source>合成 PDF</source>
        <translation>Compose PDF</translation>
    </message>
    <message numerus="yes">
        <source>%n 页无法放进 PDF。</source>
        <translation>
            <numerusform>%n page cannot go into the PDF.</numerusform>
            <numerusform>%n pages cannot go into the PDF.</numerusform>
        </translation>
    </message>
    <message>
        <source>不放这些页，合成其余页面</source>
        <translation>Leave Them Out and Compose the Rest</translation>
    </message>
    <message>
        <source>先不合成</source>
        <translation>Not Now</translation>
    </message>
</context>
<context>
    <name>LiveView</name>
    <message>
        <source>实时画面</source>
        <translation>Live picture</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>已保存 %1</source>
        <translation>Saved %1</translation>
    </message>
    <message>
        <source>开始合成PDF</source>
        <translation>Start PDF</translation>
    </message>
    <message>
        <source>请选择保存目录</source>
        <translation>Choose the save directory</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>保存目录无法访问，请重新设定</source>
        <translation>The save directory cannot be used. Please choose another one.</translation>
    </message>
    <message>
        <source>Zq高拍仪</source>
        <translation>Zq Document Camera</translation>
    </message>
    <message>
        <source>影像处理</source>
        <translation>Image processing</translation>
    </message>
    <message>
        <source>旋转：</source>
        <translation>Turn:</translation>
    </message>
    <message>
        <source>色彩：</source>
        <translation>Color:</translation>
    </message>
    <message>
        <source>彩色</source>
        <translation>Color</translation>
    </message>
    <message>
        <source>灰色</source>
        <translation>Gray</translation>
    </message>
    <message>
        <source>正常</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>右转</source>
        <translation>Turn right</translation>
    </message>
    <message>
        <source>左转</source>
        <translation>Turn left</translation>
    </message>
    <message>
        <source>上下翻转</source>
        <translation>Upside down</translation>
    </message>
    <message>
        <source>640*480</source>
        <translation>640*480</translation>
    </message>
    <message>
        <source>压缩质量：</source>
        <translation>Quality:</translation>
    </message>
    <message>
        <source>分辨率：</source>
        <translation>Size:</translation>
    </message>
    <message>
        <source>10</source>
        <translation>10</translation>
    </message>
    <message>
        <source>20</source>
        <translation>20</translation>
    </message>
    <message>
        <source>30</source>
        <translation>30</translation>
    </message>
    <message>
        <source>40</source>
        <translation>40</translation>
    </message>
    <message>
        <source>50</source>
        <translation>50</translation>
    </message>
    <message>
        <source>60</source>
        <translation>60</translation>
    </message>
    <message>
        <source>70</source>
        <translation>70</translation>
    </message>
    <message>
        <source>80</source>
        <translation>80</translation>
    </message>
    <message>
        <source>100</source>
        <translation>100</translation>
    </message>
    <message>
        <source>保存目录</source>
        <translation>Save to…</translation>
    </message>
    <message>
        <source>拍照</source>
        <translation>Capture</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>视频1</source>
        <translation>Video 1</translation>
    </message>
    <message>
        <source>视频2</source>
        <translation>Video 2</translation>
    </message>
    <message>
        <source>视频3</source>
        <translation>Video 3</translation>
    </message>
    <message>
        <source>裁边：</source>
        <translation>Crop:</translation>
    </message>
    <message>
        <source>无裁边</source>
        <translation>No crop</translation>
    </message>
    <message>
        <source>手动裁边</source>
        <translation>Manual crop</translation>
    </message>
    <message>
        <source>自动裁边</source>
        <translation>Auto crop</translation>
    </message>
    <message>
        <source>亮度：</source>
        <translation>Bright:</translation>
    </message>
    <message>
        <source>对比度：</source>
        <translation>Contr.:</translation>
    </message>
    <message>
        <source>饱和度：</source>
        <translation>Satur.:</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear all</translation>
    </message>
    <message>
        <source>自动去底色</source>
        <translation>Clean page</translation>
    </message>
    <message>
        <source>默认</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>默认打开：</source>
        <translation>At start:</translation>
    </message>
    <message>
        <source>格式：</source>
        <translation>Type:</translation>
    </message>
    <message>
        <source>jpeg</source>
        <translation>jpeg</translation>
    </message>
    <message>
        <source>tiff</source>
        <translation>tiff</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>无法创建回收站 %1：%2</source>
        <translation>cannot create the trash %1: %2</translation>
    </message>
    <message>
        <source>路径含有本机文字编码无法表示的字节</source>
        <translation>the path holds bytes that the local text encoding cannot show</translation>
    </message>
    <message>
        <source>撤销删除</source>
        <translation>Undo delete</translation>
    </message>
    <message>
        <source>把最近删除的页面从回收站放回原处</source>
        <translation>Put the pages deleted last back where they were, from the trash</translation>
    </message>
    <message>
        <source>Ctrl+Z</source>
        <translation>Ctrl+Z</translation>
    </message>
    <message>
        <source>编辑</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>正在合成 PDF……</source>
        <translation>Making the PDF…</translation>
    </message>
    <message>
        <source>可搜索 PDF</source>
        <translation>Searchable PDF</translation>
    </message>
    <message>
        <source>识别页面上的文字，合成的 PDF 可以搜索和复制</source>
        <translation>Recognise the text on the pages so that the PDF can be searched and copied from</translation>
    </message>
    <message>
        <source>PDF</source>
        <translation>PDF</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>快捷键：%1</source>
        <translation>Keys: %1</translation>
    </message>
    <message>
        <source>无法读取这个 TIFF 文件</source>
        <translation>this TIFF file cannot be read</translation>
    </message>
    <message>
        <source>不是 JPEG 或 TIFF 文件</source>
        <translation>not a JPEG or TIFF file</translation>
    </message>
    <message>
        <source>拍下预览中的画面</source>
        <translation>Capture the picture in the preview</translation>
    </message>
    <message>
        <source>自动拍照</source>
        <translation>Auto capture</translation>
    </message>
    <message>
        <source>自动裁边时，新放上的页面静止片刻后自动拍下</source>
        <translation>With auto crop, capture each new page once it lies still</translation>
    </message>
    <message>
        <source>开始/停止合成PDF</source>
        <translation>Start/finish PDF</translation>
    </message>
    <message>
        <source>Ctrl+P</source>
        <translation>Ctrl+P</translation>
    </message>
    <message>
        <source>删除页面</source>
        <translation>Delete page</translation>
    </message>
    <message>
        <source>把选中的页面移到回收站</source>
        <translation>Move the selected page to the trash</translation>
    </message>
    <message>
        <source>Del</source>
        <translation>Del</translation>
    </message>
    <message>
        <source>向左转</source>
        <translation>Turn left</translation>
    </message>
    <message>
        <source>把选中的页面逆时针转 90 度</source>
        <translation>Turn the selected page 90 degrees counter-clockwise</translation>
    </message>
    <message>
        <source>向右转</source>
        <translation>Turn right</translation>
    </message>
    <message>
        <source>把选中的页面顺时针转 90 度</source>
        <translation>Turn the selected page 90 degrees clockwise</translation>
    </message>
    <message>
        <source>用看图程序打开</source>
        <translation>Open in viewer</translation>
    </message>
    <message>
        <source>在桌面默认的看图程序中打开选中的页面</source>
        <translation>Open the selected page in the desktop’s image viewer</translation>
    </message>
    <message>
        <source>拍摄</source>
        <translation>Scan</translation>
    </message>
    <message>
        <source>书本模式</source>
        <translation>Book mode</translation>
    </message>
    <message>
        <source>自动裁边时找出翻开的书，左右两页各存为一个文件，并把弯曲的页面展平</source>
        <translation>With auto crop, finds an open book and saves its two pages as two files, curved pages laid flat</translation>
    </message>
    <message>
        <source>右页在前</source>
        <translation>Right page first</translation>
    </message>
    <message>
        <source>从右向左翻的书（如竖排的中文、日文书）：先存右页，再存左页</source>
        <translation>For books read from right to left (such as vertically set Chinese and Japanese books): the right page is saved first, then the left one</translation>
    </message>
    <message>
        <source>大图实时画面</source>
        <translation>Large live view</translation>
    </message>
    <message>
        <source>在单独的窗口中放大显示实时画面，可放大到原始大小以检查对焦（也可双击预览）</source>
        <translation>Shows the live picture large in a window of its own, zoomable to 100 % to check the focus (or double-click the preview)</translation>
    </message>
    <message>
        <source>用选中的页面生成 PDF…</source>
        <translation>PDF from selected pages…</translation>
    </message>
    <message>
        <source>把选中的页面按列表中的顺序合成一个 PDF</source>
        <translation>Composes the selected pages into one PDF, in the order of the list</translation>
    </message>
    <message>
        <source>用全部页面生成 PDF…</source>
        <translation>PDF from all pages…</translation>
    </message>
    <message>
        <source>把列表中的全部页面按顺序合成一个 PDF</source>
        <translation>Composes all pages of the list into one PDF, in order</translation>
    </message>
    <message>
        <source>添加页面…</source>
        <translation>Add pages…</translation>
    </message>
    <message>
        <source>把其他 JPEG 或 TIFF 图片加到页面列表的末尾</source>
        <translation>Appends other JPEG or TIFF pictures to the page list</translation>
    </message>
    <message>
        <source>无法打开视频%1：没有找到这台摄像头，或别的程序正在使用它</source>
        <translation>Cannot open video %1: the camera was not found, or another program is using it</translation>
    </message>
    <message>
        <source>预览中没有画面，没有拍照</source>
        <translation>No picture in the preview: nothing was captured</translation>
    </message>
    <message>
        <source>保存彩色或灰色的页面</source>
        <translation>Save the pages in colour or in grey</translation>
    </message>
    <message>
        <source>把画面转到页面正立</source>
        <translation>Turn the picture so that the page stands upright</translation>
    </message>
    <message>
        <source>摄像头拍摄的画面大小</source>
        <translation>The size of the camera&apos;s picture</translation>
    </message>
    <message>
        <source>JPEG 页面的压缩质量：越高文件越大</source>
        <translation>Compression quality of JPEG pages: higher makes larger files</translation>
    </message>
    <message>
        <source>选择存放页面的文件夹</source>
        <translation>Choose the folder the pages are saved in</translation>
    </message>
    <message>
        <source>页面存放的文件夹</source>
        <translation>The folder the pages are saved in</translation>
    </message>
    <message>
        <source>保存设置并退出</source>
        <translation>Save the settings and quit</translation>
    </message>
    <message>
        <source>不裁边、用鼠标框出范围，或自动找出页面并拉正</source>
        <translation>No cropping, a frame drawn with the mouse, or find the page automatically and straighten it</translation>
    </message>
    <message>
        <source>摄像头的亮度</source>
        <translation>The camera&apos;s brightness</translation>
    </message>
    <message>
        <source>摄像头的对比度</source>
        <translation>The camera&apos;s contrast</translation>
    </message>
    <message>
        <source>摄像头的饱和度</source>
        <translation>The camera&apos;s saturation</translation>
    </message>
    <message>
        <source>把全部页面移到回收站</source>
        <translation>Move all pages to the trash</translation>
    </message>
    <message>
        <source>把页面的底色变成白色，文字更清楚</source>
        <translation>Turn the page&apos;s background white so that the text stands out</translation>
    </message>
    <message>
        <source>亮度保持摄像头的默认值</source>
        <translation>Keep the camera&apos;s default brightness</translation>
    </message>
    <message>
        <source>对比度保持摄像头的默认值</source>
        <translation>Keep the camera&apos;s default contrast</translation>
    </message>
    <message>
        <source>饱和度保持摄像头的默认值</source>
        <translation>Keep the camera&apos;s default saturation</translation>
    </message>
    <message>
        <source>程序启动时打开的摄像头</source>
        <translation>The camera opened when the program starts</translation>
    </message>
    <message>
        <source>页面保存为 JPEG 或 TIFF</source>
        <translation>Save pages as JPEG or TIFF</translation>
    </message>
    <message>
        <source>拍下的页面：拖动可以调整顺序，右键可以旋转或打开</source>
        <translation>The pages taken: drag one to change the order, right-click to turn or open it</translation>
    </message>
    <message>
        <source>不是普通文件，或大于 256 MiB</source>
        <translation>not a regular file, or larger than 256 MiB</translation>
    </message>
    <message>
        <source>取消合成 PDF</source>
        <translation>Cancel PDF Composition</translation>
    </message>
    <message>
        <source>停止正在合成的 PDF，不留下文件；收集的页面都保留</source>
        <translation>Stop the PDF being composed and leave no file; the collected pages are kept</translation>
    </message>
    <message>
        <source>设置无法保存到 %1：%2</source>
        <translation>The settings cannot be saved to %1: %2</translation>
    </message>
    <message numerus="yes">
        <source>PDF 已保存：%1（%n 页，%2）</source>
        <translation>
            <numerusform>PDF saved: %1 (%n page, %2)</numerusform>
            <numerusform>PDF saved: %1 (%n pages, %2)</numerusform>
        </translation>
    </message>
    <message>
        <source>原样</source>
        <translation>As captured</translation>
    </message>
    <message>
        <source>每一页都是拍下的图片本身，不改动</source>
        <translation>Each page is the captured picture itself, unchanged</translation>
    </message>
    <message>
        <source>紧凑</source>
        <translation>Compact</translation>
    </message>
    <message>
        <source>文字页存为清晰的黑白图，彩色部分降低分辨率，PDF 小很多</source>
        <translation>Text pages become sharp black and white, colour parts a lower resolution: a much smaller PDF</translation>
    </message>
    <message>
        <source>PDF 文件大小</source>
        <translation>PDF file size</translation>
    </message>
    <message>
        <source>停止合成PDF</source>
        <translation>Finish PDF</translation>
    </message>
</context>
<context>
    <name>PageDocument</name>
    <message>
        <source>%1 无法移到回收站：%2</source>
        <translation>%1 could not be moved to the trash: %2</translation>
    </message>
    <message numerus="yes">
        <source>已将 %n 页移到回收站，按 %1 可恢复</source>
        <translation>
            <numerusform>Moved %n page to the trash; press %1 to bring it back</numerusform>
            <numerusform>Moved %n pages to the trash; press %1 to bring them back</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 无法从回收站恢复：%2</source>
        <translation>%1 could not be restored from the trash: %2</translation>
    </message>
    <message numerus="yes">
        <source>已从回收站恢复 %n 页</source>
        <translation>
            <numerusform>Restored %n page from the trash</numerusform>
            <numerusform>Restored %n pages from the trash</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 无法旋转：%2</source>
        <translation>%1 could not be turned: %2</translation>
    </message>
    <message>
        <source>已旋转 %1</source>
        <translation>Turned %1</translation>
    </message>
    <message>
        <source>无法打开 %1：桌面没有可以显示它的程序</source>
        <translation>Could not open %1: the desktop has no program to show it</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
</context>
<context>
    <name>PageFiles</name>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>不是 JPEG 或 TIFF 图片</source>
        <translation>not a JPEG or TIFF picture</translation>
    </message>
    <message>
        <source>图片无法解码</source>
        <translation>the picture cannot be decoded</translation>
    </message>
</context>
<context>
    <name>PageImport</name>
    <message>
        <source>添加页面</source>
        <translation>Add pages</translation>
    </message>
    <message>
        <source>JPEG 或 TIFF 图片 (*.jpg *.jpeg *.JPG *.JPEG *.tif *.tiff *.TIF *.TIFF)</source>
        <translation>JPEG or TIFF pictures (*.jpg *.jpeg *.JPG *.JPEG *.tif *.tiff *.TIF *.TIFF)</translation>
    </message>
    <message>
        <source>%1 未添加：%2</source>
        <translation>%1 not added: %2</translation>
    </message>
    <message numerus="yes">
        <source>已添加 %n 页</source>
        <translation>
            <numerusform>Added %n page</numerusform>
            <numerusform>Added %n pages</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>PageJournal</name>
    <message numerus="yes">
        <source>%n 页的文件已不在磁盘上，已从列表中移除：%1</source>
        <translation>
            <numerusform>The file of %n page is no longer on the disk; it was taken off the list: %1</numerusform>
            <numerusform>The files of %n pages are no longer on the disk; they were taken off the list: %1</numerusform>
        </translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>页面列表无法保存到 %1：%2</source>
        <translation>The page list cannot be saved to %1: %2</translation>
    </message>
</context>
<context>
    <name>PageViewer</name>
    <message>
        <source>上一页</source>
        <translation>Previous page</translation>
    </message>
    <message>
        <source>下一页</source>
        <translation>Next page</translation>
    </message>
    <message>
        <source>适合窗口</source>
        <translation>Fit to window</translation>
    </message>
    <message>
        <source>原始大小</source>
        <translation>Actual size</translation>
    </message>
    <message>
        <source>放大</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>缩小</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>第 %1/%2 页 — %3</source>
        <translation>Page %1 of %2 — %3</translation>
    </message>
    <message>
        <source>这一页已从列表中删除</source>
        <translation>This page has been deleted from the list</translation>
    </message>
    <message>
        <source>无法读取 %1：%2</source>
        <translation>Cannot read %1: %2</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
</context>
<context>
    <name>PagesPdf</name>
    <message>
        <source>保存 PDF</source>
        <translation>Save PDF</translation>
    </message>
    <message>
        <source>PDF 文件 (*.pdf)</source>
        <translation>PDF files (*.pdf)</translation>
    </message>
    <message>
        <source>PDF 合成失败：%1</source>
        <translation>PDF composition failed: %1</translation>
    </message>
    <message>
        <source>已取消合成 PDF</source>
        <translation>PDF composition cancelled</translation>
    </message>
</context>
<context>
    <name>PdfSize</name>
    <message>
        <source>无法把 PDF 文件大小的设置写入 %1</source>
        <translation>Cannot write the PDF file size setting to %1</translation>
    </message>
    <message>
        <source>无法生成紧凑的 PDF，页面保持原样：%1</source>
        <translation>Cannot make compact PDFs, pages stay as captured: %1</translation>
    </message>
</context>
<context>
    <name>QuitQuestion</name>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message numerus="yes">
        <source>已为 PDF 收集了 %n 页。要怎么处理这些页面？</source>
        <translation>
            <numerusform>%n page has been collected for a PDF. What should become of it?</numerusform>
            <numerusform>%n pages have been collected for a PDF. What should become of them?</numerusform>
        </translation>
    </message>
    <message>
        <source>页面文件在任何情况下都会保留。</source>
        <translation>The page files are kept whatever you choose.</translation>
    </message>
    <message>
        <source>现在合成 PDF</source>
        <translation>Make the PDF now</translation>
    </message>
    <message>
        <source>留到下次</source>
        <translation>Keep for next time</translation>
    </message>
    <message>
        <source>放弃收集</source>
        <translation>Discard the collection</translation>
    </message>
</context>
<context>
    <name>SaveFailure</name>
    <message>
        <source>无法保存 %1：%2</source>
        <translation>Could not save %1: %2</translation>
    </message>
</context>
<context>
    <name>SearchablePdf</name>
    <message>
        <source>只识别中文和英文：%1</source>
        <translation>Reading Chinese and English only: %1</translation>
    </message>
    <message>
        <source>无法识别文字，PDF 不可搜索：%1</source>
        <translation>Cannot recognise text, so PDFs will not be searchable: %1</translation>
    </message>
    <message>
        <source>正在识别文字 %1/%2</source>
        <translation>Recognising text %1/%2</translation>
    </message>
</context>
</TS>
