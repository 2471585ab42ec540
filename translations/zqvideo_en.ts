<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>MainWindow</name>
    <message>
        <source>无法保存 %1</source>
        <translation>Could not save %1</translation>
    </message>
    <message>
        <source>已保存 %1</source>
        <translation>Saved %1</translation>
    </message>
    <message>
        <source>开始合成PDF</source>
        <translation>Start PDF</translation>
    </message>
    <message>
        <source>停止合成PDF</source>
        <translation>Finish PDF</translation>
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
</context>
</TS>
