<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>quorin::TForm1</name>
    <message>
        <source>Форум разработчика:</source>
        <translation>Developer forum:</translation>
    </message>
    <message>
        <source>Создать пак...</source>
        <translation>Build pack...</translation>
    </message>
    <message>
        <source>Основные параметры</source>
        <translation>Basic settings</translation>
    </message>
    <message>
        <source>Параметры модели</source>
        <translation>Model settings</translation>
    </message>
    <message>
        <source>Параметры юнита</source>
        <translation>Unit settings</translation>
    </message>
    <message>
        <source>Карточки UI</source>
        <translation>UI cards</translation>
    </message>
    <message>
        <source>Открыть...</source>
        <translation>Open...</translation>
    </message>
    <message>
        <source>Сохранить...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <source> Основные параметры </source>
        <translation> Basic settings </translation>
    </message>
    <message>
        <source> Параметры модели</source>
        <translation> Model settings</translation>
    </message>
    <message>
        <source> Параметры юнита </source>
        <translation> Unit settings </translation>
    </message>
    <message>
        <source> Карточки UI </source>
        <translation> UI cards </translation>
    </message>
    <message>
        <source> Создание пака </source>
        <translation> Building the pack </translation>
    </message>
    <message>
        <source>Имя юнита</source>
        <translation>Unit name</translation>
    </message>
    <message>
        <source>Исходный мод</source>
        <translation>Source mod</translation>
    </message>
    <message>
        <source>Автор юнита</source>
        <translation>Unit author</translation>
    </message>
    <message>
        <source>Автор пака</source>
        <translation>Pack author</translation>
    </message>
    <message>
        <source>Версия юнита</source>
        <translation>Unit version</translation>
    </message>
    <message>
        <source>Коммент</source>
        <translation>Comment</translation>
    </message>
    <message>
        <source>Версия RTW</source>
        <translation>RTW version</translation>
    </message>
    <message>
        <source>Имя модели</source>
        <translation>Model name</translation>
    </message>
    <message>
        <source>Файл модели (CAS, макс. полигонов):</source>
        <translation>Model file (CAS, max. polygons):</translation>
    </message>
    <message>
        <source>Обзор...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>Просмотр...</source>
        <translation>View...</translation>
    </message>
    <message>
        <source>Текстуры для фракций:</source>
        <translation>Faction textures:</translation>
    </message>
    <message>
        <source>Добавить...</source>
        <translation>Add...</translation>
    </message>
    <message>
        <source>Удалить...</source>
        <translation>Remove...</translation>
    </message>
    <message>
        <source>Скелеты:</source>
        <translation>Skeletons:</translation>
    </message>
    <message>
        <source>нестандартные скелеты</source>
        <translation>custom skeletons</translation>
    </message>
    <message>
        <source>Описание модели из descr_model_battle.txt:</source>
        <translation>Model entry from descr_model_battle.txt:</translation>
    </message>
    <message>
        <source>Описание юнита из export_descr_model_unit.txt:</source>
        <translation>Unit entry from export_descr_model_unit.txt:</translation>
    </message>
    <message>
        <source>Описание юнита из text\export_units.txt:</source>
        <translation>Unit text from text\export_units.txt:</translation>
    </message>
    <message>
        <source>Иконки для фракций:</source>
        <translation>Faction icons:</translation>
    </message>
    <message>
        <source> Предпросмотр </source>
        <translation> Preview </translation>
    </message>
    <message>
        <source>Имя файла</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>Лог</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>Начать создание</source>
        <translation>Start building</translation>
    </message>
    <message>
        <source>Текстура DDS (*.dds)|*.dds</source>
        <translation>DDS texture (*.dds)|*.dds</translation>
    </message>
    <message>
        <source>Графика TGA (*.tga)|*.tga</source>
        <translation>TGA image (*.tga)|*.tga</translation>
    </message>
    <message>
        <source>Юнит Quorin (*.quorin *.toml)|*.quorin *.toml|Пак Quorin (*.quorin)|*.quorin|Манифест юнита (*.toml)|*.toml</source>
        <translation>Quorin unit (*.quorin *.toml)|*.quorin *.toml|Quorin pack (*.quorin)|*.quorin|Unit manifest (*.toml)|*.toml</translation>
    </message>
    <message>
        <source>Манифест юнита (*.toml)|*.toml</source>
        <translation>Unit manifest (*.toml)|*.toml</translation>
    </message>
    <message>
        <source>Фракция</source>
        <translation>Faction</translation>
    </message>
    <message>
        <source>Имя файла текстуры</source>
        <translation>Texture file</translation>
    </message>
    <message>
        <source>Файл карты INFO</source>
        <translation>INFO card file</translation>
    </message>
    <message>
        <source>Файл карты #unit</source>
        <translation>#unit card file</translation>
    </message>
    <message>
        <source>Имя фракции</source>
        <translation>Faction name</translation>
    </message>
    <message>
        <source>Впишите имя фракции, для которой предпологается текстура</source>
        <translation>Enter the name of the faction this texture is for</translation>
    </message>
    <message>
        <source>Впишите имя фракции, для которой предпологается иконка</source>
        <translation>Enter the name of the faction this icon is for</translation>
    </message>
    <message>
        <source>Упаковщик Quorin Unit Packer</source>
        <translation>Quorin Unit Packer</translation>
    </message>
    <message>
        <source>Создание пака %1 завершено</source>
        <translation>Pack %1 built</translation>
    </message>
    <message>
        <source>Модели CAS (*.cas)|*.cas|Модели glTF (*.glb *.gltf)|*.glb *.gltf</source>
        <translation>CAS models (*.cas)|*.cas|glTF models (*.glb *.gltf)|*.glb *.gltf</translation>
    </message>
</context>
<context>
    <name>quorin::TForm2</name>
    <message>
        <source>Программа разработана для упаковки  юнитов в 
юнит-паки формата Quorin

Автор: команда Quorin Unit Packer, 2024 год.
Все права защищены.
Форум поддержки: www.example.org
E-mail: support@example.org</source>
        <translation>This program packs units into
unit packs of the Quorin format.

By the Quorin Unit Packer team, 2024.
All rights reserved.
Support forum: www.example.org
E-mail: support@example.org</translation>
    </message>
    <message>
        <source>Внимание!
Юнит-паки этой версии не сертифицируются
и устанавливаются на ваш страх и риск.
Перед установкой сохраните копию папки data
вашей модификации.</source>
        <translation>Warning!
Unit packs of this version are not certified
and are installed at your own risk.
Before installing, back up the data folder
of your mod.</translation>
    </message>
    <message>
        <source>Эта версия распространяется бесплатно и только через форум поддержки. Выкладывать её на других ресурсах можно лишь со ссылкой на форум.</source>
        <translation>This version is free and is given out only through the support forum. It may be posted elsewhere only with a link to the forum.</translation>
    </message>
    <message>
        <source>О программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>версия 0.1 альфа</source>
        <translation>version 0.1 alpha</translation>
    </message>
    <message>
        <source>Данная версия не поддерживает сертифицирование юнит-паков</source>
        <translation>This version cannot certify unit packs</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>quorin::TModelView</name>
    <message>
        <source>Не удалось подготовить шейдеры: %1</source>
        <translation>Could not prepare the shaders: %1</translation>
    </message>
</context>
<context>
    <name>quorin::TModelWindow</name>
    <message>
        <source>Модель — %1</source>
        <translation>Model — %1</translation>
    </message>
    <message>
        <source>Каркас</source>
        <translation>Wireframe</translation>
    </message>
    <message>
        <source>Цвет фракции</source>
        <translation>Faction colour</translation>
    </message>
    <message>
        <source>Текстура:</source>
        <translation>Texture:</translation>
    </message>
    <message>
        <source>Без текстуры</source>
        <translation>No texture</translation>
    </message>
    <message>
        <source>Треугольников: %1, вершин: %2, костей: %3</source>
        <translation>Triangles: %1, vertices: %2, bones: %3</translation>
    </message>
    <message>
        <source>Не обычный файл: прочтётся при создании пака</source>
        <translation>Not a plain file: read when the pack is built</translation>
    </message>
    <message>
        <source>Экспорт glTF...</source>
        <translation>Export glTF...</translation>
    </message>
    <message>
        <source>Экспорт glTF</source>
        <translation>Export glTF</translation>
    </message>
    <message>
        <source>Модели glTF (*.glb *.gltf)</source>
        <translation>glTF models (*.glb *.gltf)</translation>
    </message>
    <message>
        <source>Модель из glTF</source>
        <translation>Model from glTF</translation>
    </message>
    <message>
        <source>Файл %1 уже есть. Заменить его моделью из %2?</source>
        <translation>%1 already exists. Replace it with the model from %2?</translation>
    </message>
</context>
<context>
    <name>quorin::TPackLog</name>
    <message>
        <source>Проверка юнита: замечаний нет</source>
        <translation>Unit check: nothing found</translation>
    </message>
    <message>
        <source>Файл %1: %2</source>
        <translation>File %1: %2</translation>
    </message>
    <message>
        <source>Пак %1 создан</source>
        <translation>Pack %1 built</translation>
    </message>
    <message>
        <source>Пак %1 создан: %2</source>
        <translation>Pack %1 built: %2</translation>
    </message>
    <message>
        <source>Пак не создан: </source>
        <translation>Pack not built: </translation>
    </message>
</context>
</TS>
