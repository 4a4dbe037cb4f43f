#include "DemoNodelist.h"

namespace tavro {

namespace {

std::string Lines(const std::vector<const char*>& lines) {
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

std::string Nodelist() {
    return Lines({
        ";A Tavro demo nodelist: the systems the demo's letters come from",
        ";A",
        "Zone,1,North_America,Ottawa_ON,Jim_Harper,-Unpublished-,300,CM,IBN,INA:z1.example.com",
        "Host,229,Ottawa_Net,Ottawa_ON,Ann_Miller,-Unpublished-,300,CM,IBN",
        ",426,Maple_Leaf_BBS,Ottawa_ON,Tom_Becker,-Unpublished-,300,CM,IBN,INA:maple.example.com",
        "Zone,2,Europe,Europe,Hans_Keller,-Unpublished-,300,CM,IBN,INA:z2.example.org",
        "Region,20,Sweden,Stockholm,Erik_Holm,-Unpublished-,300,CM,IBN",
        "Host,201,Uppsala_Net,Uppsala,Lars_Berg,-Unpublished-,300,CM,IBN",
        ",329,Snowy_Hill_BBS,Uppsala,Peter_Lindqvist,-Unpublished-,300,CM,IBN,INA:snowyhill.example.se",
        "Region,46,Ukraine,Kyiv,Oleg_Shevchuk,-Unpublished-,300,CM,IBN",
        "Host,463,Kyiv_Net,Kyiv,Dmitry_Kovalenko,-Unpublished-,300,CM,IBN",
        ",68,Obolon_Station,Kyiv,Igor_Belov,-Unpublished-,300,CM,IBN,INA:obolon.example.net",
        "Region,50,Russia,Moscow,Boris_Ivanov,-Unpublished-,300,CM,IBN",
        "Host,5015,Moscow_Region_Net,Mytishchi,Viktor_Zaitsev,-Unpublished-,300,CM,IBN",
        ",42,Zaitsevo_Station,Zaitsevo,Viktor_Zaitsev,-Unpublished-,300,IBN",
        "Host,5020,Moscow_Net,Moscow,Pavel_Lebedev,-Unpublished-,300,CM,IBN,INA:fido.example.org",
        "Hub,52,Pavel's_Hub,Moscow,Pavel_Lebedev,-Unpublished-,300,CM,IBN,INA:hub52.example.org",
        ",777,Seven_Sevens_BBS,Moscow,Olga_Kuznetsova,7-495-777-7777,33600,CM,XA,V34,IBN",
        ",1234,Kotelnaya_Station,Moscow,Sergey_Morozov,-Unpublished-,300,CM,IBN,INA:kotelnaya.example.org",
        ",2140,Gromov_Station,Moscow,Alexey_Gromov,-Unpublished-,300,IBN",
        "Pvt,3000,Quiet_Node,Moscow,Anna_Belova,-Unpublished-,300",
        "Host,5030,St_Petersburg_Net,St_Petersburg,Nikolay_Fedorov,-Unpublished-,300,CM,IBN",
        ",118,Nevsky_Evening,St_Petersburg,Nikolay_Fedorov,-Unpublished-,300,CM,IBN,INA:spb.example.net",
        "Host,5054,Nizhny_Novgorod_Net,Nizhny_Novgorod,Mikhail_Sokolov,-Unpublished-,300,CM,IBN",
        ",30,Strelka_Station,Nizhny_Novgorod,Mikhail_Sokolov,-Unpublished-,300,IBN",
        "Host,5080,Ekaterinburg_Net,Ekaterinburg,Ruslan_Tikhonov,-Unpublished-,300,CM,IBN",
        ",102,Uralmash_BBS,Ekaterinburg,Ruslan_Tikhonov,-Unpublished-,300,CM,IBN",
        "Zone,3,Australasia,Sydney,Kate_Walsh,-Unpublished-,300,CM,IBN",
        "Host,633,Sydney_Net,Sydney,Mark_Dunn,-Unpublished-,300,CM,IBN",
        ",280,Harbour_Lights,Sydney,Mark_Dunn,-Unpublished-,300,CM,IBN,INA:harbour.example.au",
    });
}

std::string Pointlist() {
    return Lines({
        ";A The points of 2:5020/1234",
        "Boss,2:5020/1234",
        "Point,5,Sokol_Point,Moscow,Andrey_Volkov,-Unpublished-,300,IBN",
        "Point,12,Coffee_Point,Moscow,Marina_Orlova,-Unpublished-,300",
    });
}

} // namespace

std::vector<TDemoFile> DemoNodelistFiles() {
    return {{"NODELIST.117", Nodelist()}, {"PNT5020.117", Pointlist()}};
}

std::vector<std::string> DemoNodelistMasks() {
    return {"NODELIST.*", "PNT5020.*"};
}

} // namespace tavro
